#ifndef TRAWLBOX_NET_URL_H_
#define TRAWLBOX_NET_URL_H_

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>

#include "core/status.h"
#include "net/response.h"

namespace trawlbox {

// Whether `text` starts with a URI scheme and its colon ("http:",
// "mailto:"): a letter, then letters, digits, "+", "-" or ".".
bool HasScheme(QStringView text);

// The absolute address that `reference` names on the page at `base`, an
// absolute http or https address, as RFC 3986 section 5.2 resolves it:
// "./" and "../" segments go, "?q" keeps the page's path, "//host/x" keeps
// the scheme. The fragment is left out: it names no other page. Every other
// character, raw or escaped, stays exactly as written, so the address still
// maps to the local name its link gave. Empty when no address can be made
// of it (a port that is no number, say).
std::optional<QString> ResolveReference(const QString& base,
                                        const QString& reference);

// Where a redirect from `from` leads: `to`, its Location as libcurl read it
// against `from`, with the user and password of `from` when it stays on the
// same origin (scheme, host name and port, the default port of the scheme
// counted as written), and with neither when it leaves it, even when the
// Location names some: a password typed for one server never reaches
// another. Both are request bytes. Empty when either cannot be read.
std::optional<QByteArray> RedirectAddress(const QByteArray& from,
                                          const QByteArray& to);

// Where the redirect of the answer `head` from `current` to `target` (its
// Location as libcurl resolved it) leads, when `redirects` were followed
// before it; or why it is not followed, in the words users read: no
// Location, more than `max_redirects`, a scheme other than http and https,
// https to http, or a target that makes no address. The user and password
// of `current` go along on the same origin only (RedirectAddress).
Result<QByteArray> FollowedRedirect(const Response& head,
                                    const QByteArray& current,
                                    const QByteArray& target, int redirects,
                                    int max_redirects);

// The bytes a request for `address` carries: UTF-8, with what a URL may not
// hold after its host percent-encoded (blanks, control bytes, bytes of
// 0x80 and above, '"', '<', '>', '\', '^', '`', '{', '|', '}', and a '%'
// that starts no escape). Escapes already there are kept as written.
QByteArray EncodeAddress(const QString& address);

// The address a row's text is asked for at: blanks (spaces only) trimmed at
// both ends; tabs and line breaks stay, as they are part of what was listed.
QString TrimBlanks(const QString& text);

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_URL_H_

#ifndef TRAWLBOX_NET_CURL_FAILURE_H_
#define TRAWLBOX_NET_CURL_FAILURE_H_

// How the HTTP engine judges what libcurl made of a transfer, and the texts
// it words failures in. libcurl stays inside the net library: only the
// library's own sources and its tests include this.

#include <curl/curl.h>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include "core/status.h"
#include "net/response.h"

namespace trawlbox {

// "No data received for N seconds", for a transfer stalled this long.
QString StallText(int stall_ms);

// A body that ended after `received` of the `announced` bytes.
QString ShortBodyText(qint64 received, const QByteArray& announced);

// A length libcurl's 64-bit counter cannot hold: it then reads to the end of
// the connection, and such a body can never be whole.
bool BeyondAnyBody(const QByteArray& length);

// What a flaky link or a busy server causes, and another try may not meet.
bool IsTransientCode(CURLcode code);

// A transfer libcurl ended with `code`: in the words of the transfer's
// error buffer `error`, or libcurl's own for the code when that is empty;
// transient for a code IsTransientCode names.
Status CurlFailure(CURLcode code, const char* error);

// A body the connection cut short: `received` bytes of the `announced`
// length (-1 when libcurl knew none, then `head`'s Content-Length). Those of
// a range count in bytes of the whole file.
Status ShortBodyFailure(curl_off_t received, curl_off_t announced,
                        const Response& head);

// A failure as boxes and red rows show it: with no password of an address
// in its text, whoever wrote it, the engine or libcurl.
Status WithoutPasswords(const Status& failure);

// A value a request header may carry as it is: no line break or other
// control character, whatever a damaged record held.
bool IsHeaderValue(const QByteArray& value);

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_CURL_FAILURE_H_

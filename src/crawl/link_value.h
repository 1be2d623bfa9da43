#ifndef TRAWLBOX_CRAWL_LINK_VALUE_H_
#define TRAWLBOX_CRAWL_LINK_VALUE_H_

#include <QByteArrayView>
#include <QString>

namespace trawlbox {

// The text of a link value as the page's bytes hold it: UTF-8 where the
// bytes are valid UTF-8, otherwise one Latin-1 character per byte; then
// the character references that end in ";" are read (&amp; &lt; &gt;
// &quot; &apos; &nbsp; &#N; &#xH;). One without its ";" stays as written:
// in "a=1&copy=2" there is none.
QString DecodeLinkValue(QByteArrayView bytes);

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_LINK_VALUE_H_

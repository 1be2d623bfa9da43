#ifndef TRAWLBOX_MIRROR_DOWNLOAD_COMMAND_H_
#define TRAWLBOX_MIRROR_DOWNLOAD_COMMAND_H_

namespace trawlbox {

class CommandHost;
class FileSystem;
class HttpService;

// "Start Downloading Checked Files": stores every ticked row below the
// destination folder, in a tree that mirrors the site, and says "Done.".
// A click while a download or a listing runs does nothing. A cancel
// request (Escape) stops the transfer in work and the walk over the rows.
// Files are asked of `http`; folders and files are made on `disk`.
void RunDownloadCommand(CommandHost& host, HttpService& http, FileSystem& disk);

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_DOWNLOAD_COMMAND_H_

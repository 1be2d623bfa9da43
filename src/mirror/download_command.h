#ifndef TRAWLBOX_MIRROR_DOWNLOAD_COMMAND_H_
#define TRAWLBOX_MIRROR_DOWNLOAD_COMMAND_H_

namespace trawlbox {

class CommandHost;
class FileSystem;
class RequestRun;

// How a download treats the files the destination holds already.
struct DownloadMode {
  // Asks for each ticked file that is there only if it changed since it
  // was stored (If-Modified-Since its time, If-None-Match the ETag
  // recorded with it); one that did not is left as it is. Folder pages
  // are fetched as always. Without it every ticked row is fetched again.
  bool update = false;
};

// "Start Downloading Checked Files": stores every ticked row below the
// destination folder, in a tree that mirrors the site, and says "Done.".
// A click while a download or a listing runs does nothing. A cancel
// request (Escape) stops the transfer in work and the walk over the rows.
// Files are asked through `run`; folders and files are made on `disk`. An
// update keeps the ETags of what it stored in a hidden record in the
// destination folder (EtagRecord).
void RunDownloadCommand(CommandHost& host, RequestRun& run, FileSystem& disk,
                        const DownloadMode& mode = {});

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_DOWNLOAD_COMMAND_H_

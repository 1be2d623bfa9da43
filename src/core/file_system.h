#ifndef TRAWLBOX_CORE_FILE_SYSTEM_H_
#define TRAWLBOX_CORE_FILE_SYSTEM_H_

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <memory>

#include "core/status.h"

namespace trawlbox {

// The few things the listing and the download ask of the disk, behind one
// seam so that a full, read-only or otherwise refusing disk can be played in
// tests. Paths are in the system's form (not "\" path texts). Nothing here
// throws: a failure is a failed Status with the system's own text, which is
// the text users see; the queries answer false. The disk writers call it
// from several threads at once: what an implementation shares between
// calls it keeps safe itself.
class FileSystem {
 public:
  // A file being written at its end: a new one from its start, or one of
  // the program's own from where it ended.
  class NewFile {
   public:
    virtual ~NewFile() = default;
    // Fails when not every byte was taken.
    virtual Status Write(const char* data, qint64 size) = 0;
    // The bytes in the file, those still held included.
    virtual qint64 Size() const = 0;
    // Hands every byte still held to the system and dates the file's last
    // change `time`; nothing may be written afterwards.
    virtual Status SetModified(const QDateTime& time) = 0;
    // Hands every byte still held to the system and closes the file; a
    // write refused only then fails here.
    virtual Status Close() = 0;
  };

  // A file of the program's own that a page passes through: written, read
  // back from its start and emptied for the next page. It is gone when
  // dropped.
  class ScratchFile {
   public:
    virtual ~ScratchFile() = default;
    virtual Status Write(const char* data, qint64 size) = 0;
    // Hands what is held to the system and reads from the start again.
    virtual Status Rewind() = 0;
    // Up to `size` bytes from where the last read ended; 0 at the end.
    virtual Result<qint64> Read(char* data, qint64 size) = 0;
    virtual qint64 Size() const = 0;
    // Empties the file and writes from its start again.
    virtual Status Empty() = 0;
    virtual QString name() const = 0;
  };

  virtual ~FileSystem() = default;

  // The queries never fail: a failure of the query is the answer false.
  // Whether a file or a folder stands at `path`.
  virtual bool Exists(const QString& path) const = 0;
  virtual bool FolderExists(const QString& path) const = 0;
  // Whether `path` may be written; for a folder, whether entries may be
  // made in it.
  virtual bool Writable(const QString& path) const = 0;

  // Makes the one folder `path`, whose parent must exist. The system gives
  // no reason when it refuses; the queries tell it.
  virtual Status MakeFolder(const QString& path) = 0;
  // Creates the file `path` for writing, never one that is there already
  // (nothing planted under that name is followed).
  virtual Result<std::unique_ptr<NewFile>> CreateNew(const QString& path) = 0;
  // Opens the file `path`, one the program made, to write on at its end.
  // Only a plain file of one name is opened: a link, or anything else
  // planted under the name, is refused.
  virtual Result<std::unique_ptr<NewFile>> OpenToAppend(
      const QString& path) = 0;
  // The whole of the small file `path`; a file of more than `limit` bytes
  // fails.
  virtual Result<QByteArray> ReadSmallFile(const QString& path,
                                           qint64 limit) const = 0;
  // When the file `path` last changed.
  virtual Result<QDateTime> ModifiedTime(const QString& path) const = 0;
  // Gives the file `from` the name `to` in one step, replacing what was
  // there.
  virtual Status Rename(const QString& from, const QString& to) = 0;
  // Removes the file `path`; one that is not there is no failure.
  virtual Status Remove(const QString& path) = 0;
  // Creates a scratch file under a fresh name made of `name_template`, a
  // path whose file name holds "XXXXXX" for the fresh part; never one that
  // is there already.
  virtual Result<std::unique_ptr<ScratchFile>> CreateScratch(
      const QString& name_template) = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_FILE_SYSTEM_H_

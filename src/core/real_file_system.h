#ifndef TRAWLBOX_CORE_REAL_FILE_SYSTEM_H_
#define TRAWLBOX_CORE_REAL_FILE_SYSTEM_H_

#include "core/file_system.h"

namespace trawlbox {

// The disk itself, through Qt where Qt has a way. Holds no state: one may be
// made wherever the program is composed.
class RealFileSystem : public FileSystem {
 public:
  bool Exists(const QString& path) const override;
  bool FolderExists(const QString& path) const override;
  bool Writable(const QString& path) const override;
  Status MakeFolder(const QString& path) override;
  Result<std::unique_ptr<NewFile>> CreateNew(const QString& path) override;
  Result<std::unique_ptr<NewFile>> OpenToAppend(const QString& path) override;
  Result<QByteArray> ReadSmallFile(const QString& path,
                                   qint64 limit) const override;
  Result<QDateTime> ModifiedTime(const QString& path) const override;
  Status Rename(const QString& from, const QString& to) override;
  Status Remove(const QString& path) override;
  Result<std::unique_ptr<ScratchFile>> CreateScratch(
      const QString& name_template) override;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_REAL_FILE_SYSTEM_H_

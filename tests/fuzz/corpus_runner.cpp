// Feeds every file of a fuzz target's corpus to the target once, so the
// ordinary test suite fails when an input that once found a fault finds it
// again. Arguments, when given, name other files or folders to run.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

QStringList CorpusFiles(const QString& place) {
  if (QFileInfo(place).isFile()) return {place};
  QStringList files;
  QDirIterator it(place, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) files << it.next();
  files.sort();  // the same order on every machine
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  QStringList places;
  for (int i = 1; i < argc; ++i) places << QString::fromLocal8Bit(argv[i]);
  if (places.isEmpty()) places << QStringLiteral(TRAWLBOX_CORPUS_DIR);
  int count = 0;
  for (const QString& place : places) {
    for (const QString& path : CorpusFiles(place)) {
      QFile file(path);
      if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 1;
      }
      const QByteArray bytes = file.readAll();
      std::fprintf(stderr, "%s\n", qPrintable(path));
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()),
                             static_cast<size_t>(bytes.size()));
      ++count;
    }
  }
  // An empty or missing corpus would pass without testing anything.
  if (count == 0) {
    std::fprintf(stderr, "no corpus files in %s\n",
                 qPrintable(places.join(QStringLiteral(", "))));
    return 1;
  }
  std::printf("%d inputs ran clean\n", count);
  return 0;
}

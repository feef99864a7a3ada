#pragma once
// CDataFile: one included file of the game. Its bytes travel inside the game
// file and are exported at start (or on request) to the temporary directory,
// the working directory or a chosen directory.
#include <string>
#include <vector>

class CStream;
class CInflateReader;

class CDataFile {
 public:
  static constexpr int kVersion = 800;

  std::string s_filename;  // name used when exporting and looking up
  std::string s_origname;  // where the file came from (informational)
  bool s_exists = false;   // the bytes are present
  int s_size = 0;          // informational
  bool s_store = false;    // the bytes are stored in the game
  std::vector<uint8_t> s_data;
  int s_exportaction = 2;  // 0 none, 1 temp dir, 2 working dir, 3 s_exportdir
  std::string s_exportdir;
  bool s_overwrite = false;
  bool s_freedata = true;   // release the bytes after exporting
  bool s_removeend = true;  // delete the exported file at game end

  // A file name is only ever a name: no separator, no "." or "..", no drive
  // letter, no NUL. Anything else would let a game file write elsewhere.
  static bool IsPlainName(const std::string& name);

  void Clear();
  void Assign(const CDataFile& other);
  // Reads the record (inside its block). False on a wrong version; throws
  // EStreamError on truncated data.
  bool LoadFromStream(CStream& stream);
  // The same, reading from a compressed block as it is inflated: the bytes
  // are inflated straight into s_data.
  bool LoadFromBlock(CInflateReader& block);
  void SaveToStream(CStream& stream) const;
  // Writes the bytes to target unless a file is there and s_overwrite is off.
  // The last component is never followed when it is a link, and only a
  // regular file is replaced. The file written is remembered for Remove.
  bool ExportIt(const std::string& target);
  bool Prepare();
  void Discard();
  bool Remove();

 private:
  // The export location for actions 1-3, or empty for others.
  std::string Target() const;

  // The file this run wrote (Remove deletes nothing else): its path and
  // identity, so that a file replaced since then is left alone.
  std::string s_writtenPath;
  unsigned long long s_writtenDev = 0, s_writtenIno = 0;
};

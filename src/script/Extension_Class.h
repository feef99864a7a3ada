#pragma once
// The records of extension packages: packages, their files, the functions and
// constants each file brings, read from (and written to) the game file.
#include <cstdint>
#include <string>
#include <vector>

class CStream;

inline constexpr int kExtensionMarker = 700;
inline constexpr int kExtensionArgTypes = 17;

class CExtensionConstant {
 public:
  std::string s_name;
  std::string s_value;  // an expression text

  void Clear();
  // False (and cleared) when the marker is wrong; the other fields are then not read.
  bool LoadFromExeStream(CStream& stream);
  void SaveToExeStream(CStream& stream) const;
};

class CExtensionFunction {
 public:
  std::string s_name;     // the name code calls it by
  std::string s_extname;  // the exported symbol, or the section of a script file
  int s_kind = 0;         // libraries: 12 C convention, else the Windows one
  int s_id = 0;           // code calls it as 500000 + s_id
  int s_argcount = -1;    // -1: any number
  int s_argtype[kExtensionArgTypes];  // 1 string, 2 real
  int s_returntype = 2;   // 1 string, 2 real
  std::string s_script;   // a script file's section until it is compiled

  CExtensionFunction() { Clear(); }
  void Clear();  // keeps s_id
  bool LoadFromExeStream(CStream& stream);
  void SaveToExeStream(CStream& stream) const;
};

class CExtensionFile {
 public:
  enum Kind { kLibrary = 1, kScript = 2, kNotStored = 3, kOther = 4 };

  std::string s_filename;  // a name, never a path
  int s_kind = 0;
  std::string s_init;
  std::string s_final;
  std::vector<CExtensionFunction> s_functions;
  std::vector<CExtensionConstant> s_constants;

  void Clear();
  bool LoadFromExeStream(CStream& stream);
  void SaveToExeStream(CStream& stream) const;
  // Whether the package's contents hold a block for this file.
  bool HasContents() const { return s_kind != kNotStored; }

  const CExtensionFunction* FunctionFindName(const std::string& name) const;
  const CExtensionFunction* FunctionFindId(int id) const;
  const CExtensionConstant* ConstantFindName(const std::string& name) const;
  // Splits a script file into "#define NAME" sections and gives each
  // function the body of the section named like its external name.
  void CreateScripts(const std::vector<uint8_t>& bytes);
};

class CExtensionPackage {
 public:
  std::string s_name;
  std::string s_folder;  // a folder name inside the temporary directory
  std::vector<CExtensionFile> s_includes;

  void Clear();
  // Reads the record and its contents block. Library and other files are
  // written into tempdir/s_folder (nothing is written when tempdir is empty,
  // or when the folder or a file name is not a plain name); script files go
  // to their functions. False on a wrong marker; throws EStreamError on
  // truncated or corrupt data.
  bool LoadFromExeStream(CStream& stream, const std::string& tempdir);
  // The mirror image: contents[i] holds the bytes of file i (unused for
  // files whose contents are not stored); key seeds the scrambling.
  void SaveToExeStream(CStream& stream, const std::vector<std::vector<uint8_t>>& contents, int32_t key) const;

  const CExtensionFunction* FunctionFindName(const std::string& name) const;
  const CExtensionFunction* FunctionFindId(int id) const;
  const CExtensionConstant* ConstantFindName(const std::string& name) const;
};

// The text of a script file as the language sees it: UTF-8 is kept, any
// other bytes are taken one character per byte.
std::string ExtensionScriptText(const std::vector<uint8_t>& bytes);

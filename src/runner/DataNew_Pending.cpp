// Readers for the sections whose records are not built yet. Each reads its
// section's framing, checks the version and inflates every compressed block
// (so corrupt data fails the load) without keeping anything. A module that
// builds a real reader for a section takes that section's function from here
// into its own file; the functions do not depend on each other.
#include "runner/DataNew_Main.h"
#include "runner/Support_Stream.h"

namespace {

// Extension package records are stored inline, so their structure has to be
// walked to find where the next one starts. Inner records with a wrong
// marker are left empty and the walk goes on with the enclosing record.
constexpr int kExtensionMarker = 700;

void SkipExtensionFunction(CStream& s) {
  if (s.ReadInteger() != kExtensionMarker) return;
  s.ReadString();  // name
  s.ReadString();  // external name
  s.Skip(4 * (1 + 1 + 1 + 17 + 1));  // kind, id, argument count, types, return type
}

void SkipExtensionConstant(CStream& s) {
  if (s.ReadInteger() != kExtensionMarker) return;
  s.ReadString();
  s.ReadString();
}

// Returns the file's kind, or 0 when the record was left empty.
int SkipExtensionFile(CStream& s) {
  if (s.ReadInteger() != kExtensionMarker) return 0;
  s.ReadString();  // file name
  int kind = s.ReadInteger();
  s.ReadString();  // init
  s.ReadString();  // final
  int32_t functions = s.ReadInteger();
  for (int32_t i = 0; i < functions; ++i) SkipExtensionFunction(s);
  int32_t constants = s.ReadInteger();
  for (int32_t i = 0; i < constants; ++i) SkipExtensionConstant(s);
  return kind;
}

}  // namespace

bool LoadSection_Extensions(CStream& stream) {
  int32_t count;
  if (!ReadSectionHeader(stream, kSectionVersionExtensions, count)) return false;
  for (int32_t p = 0; p < count; ++p) {
    if (stream.ReadInteger() != kExtensionMarker) return false;
    stream.ReadString();  // name
    stream.ReadString();  // folder
    int32_t files = stream.ReadInteger();
    std::vector<int> kinds;
    for (int32_t f = 0; f < files; ++f) kinds.push_back(SkipExtensionFile(stream));
    CStream contents = stream.ReadStream();
    if (contents.Size() < 4) {
      if (!kinds.empty()) throw EStreamError("Stream read error: package contents missing");
      continue;
    }
    int32_t key = contents.ReadInteger();
    contents.Decrypt(key, 5, 0);
    for (int kind : kinds) {
      if (kind != 3) contents.SkipStreamC();
    }
  }
  return true;
}

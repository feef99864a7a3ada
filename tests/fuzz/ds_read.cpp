// Feeds arbitrary texts to the read functions of every data structure kind,
// then uses the structure, so that whatever a read accepts stays usable.
#include <cstddef>
#include <cstdint>
#include <string>

#include "library/Support_Data_Structures.h"

namespace {

template <typename T>
void Exercise(T& ds, const std::string& text) {
  ds.ReadFromString(text);
  std::string again = ds.WriteToString();
  T copy;
  if (!copy.ReadFromString(again) || copy.WriteToString() != again) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the kind; the rest is the text. Texts are also
  // tried as the hexadecimal form of the raw bytes, so that the fuzzer
  // reaches the layout behind the header.
  static const char* digits = "0123456789ABCDEF";
  std::string raw(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string hex;
  for (unsigned char c : raw) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  static const int headers[] = {101, 201, 301, 401, 501, 601};
  int kind = data[0] % 6;
  // Put the right header in front of the hexadecimal form, most of the time.
  if (data[0] & 0x80) {
    int32_t h = headers[kind];
    std::string prefix;
    for (int i = 0; i < 4; ++i) {
      unsigned char b = static_cast<unsigned char>(h >> (8 * i));
      prefix += digits[b >> 4];
      prefix += digits[b & 15];
    }
    hex = prefix + hex;
  }
  for (const std::string* text : {&raw, &hex}) {
    switch (kind) {
      case 0: { CDS_Stack s; Exercise(s, *text); s.Pop(); s.Top(); break; }
      case 1: {
        CDS_Queue q;
        Exercise(q, *text);
        q.Head();
        q.Tail();
        q.Enqueue(RValue(1.0));
        while (q.Size() > 0) q.Dequeue();
        break;
      }
      case 2: { CDS_List l; Exercise(l, *text); l.Sort(true); l.FindIndex(RValue("x")); break; }
      case 3: {
        CDS_Map m;
        Exercise(m, *text);
        m.Add(RValue(2.0), RValue(3.0));
        m.FindNext(RValue(1.0));
        m.FindPrevious(RValue("k"));
        m.Delete(RValue(2.0));
        break;
      }
      case 4: { CDS_Priority p; Exercise(p, *text); p.DeleteMin(); p.DeleteMax(); break; }
      case 5: {
        CDS_Grid g;
        Exercise(g, *text);
        g.ApplyRegion(0, 0, 3, 3, RValue(1.0), CDS_Grid::kAdd);
        g.DiskStat(1, 1, 2, CDS_Grid::kMean);
        g.ApplyGridRegion(g, 0, 0, 5, 5, 1, 1, CDS_Grid::kSet);
        break;
      }
    }
  }
  return 0;
}

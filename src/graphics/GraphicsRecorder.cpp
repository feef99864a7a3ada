// CGraphicsRecorder: list-form recording of primitives, colour following,
// and drawing in chunks the device can take.
#include "graphics/GraphicsRecorder.h"

#include <algorithm>
#include <new>
#include <string>

#include "graphics/Graphics_D3D.h"
#include "runner/Support_Various.h"

namespace {
bool g_make_error_shown = false;

void Append(std::vector<RRecordedVertex>& list, const RRecordedVertex& v) {
  // Doubling, starting from the first request's size.
  if (list.size() == list.capacity()) list.reserve(std::max<size_t>(list.capacity() * 2, 1));
  list.push_back(v);
}

void AppendRange(std::vector<RRecordedVertex>& list, const RRecordedVertex* v, int n) {
  if (list.capacity() == 0) list.reserve(size_t(n));
  for (int i = 0; i < n; ++i) Append(list, v[i]);
}
}  // namespace

void CGraphicsRecorder::Create() { Destroy(); }

void CGraphicsRecorder::Destroy() {
  m_pTriangleVB = {};
  m_pLineVB = {};
  m_pPointVB = {};
  m_pTriangleVBuffer = {};
  m_pLineVBuffer = {};
  m_pPointVBuffer = {};
}

void CGraphicsRecorder::AddPrims(int type, int n, const RRecordedVertex* v) {
  if (n <= 0 || v == nullptr) return;
  switch (type) {
    case 1:
      AppendRange(m_pPointVB, v, n);
      m_pPointVBuffer.clear();
      break;
    case 2:
      AppendRange(m_pLineVB, v, n / 2 * 2);
      m_pLineVBuffer.clear();
      break;
    case 3:
      for (int i = 0; i + 1 < n; ++i) {
        Append(m_pLineVB, v[i]);
        Append(m_pLineVB, v[i + 1]);
      }
      m_pLineVBuffer.clear();
      break;
    case 4:
      AppendRange(m_pTriangleVB, v, n / 3 * 3);
      m_pTriangleVBuffer.clear();
      break;
    case 5:
      for (int i = 0; i + 2 < n; ++i) {
        const bool odd = (i & 1) != 0;
        Append(m_pTriangleVB, v[odd ? i + 2 : i]);
        Append(m_pTriangleVB, v[i + 1]);
        Append(m_pTriangleVB, v[odd ? i : i + 2]);
      }
      m_pTriangleVBuffer.clear();
      break;
    case 6:
      for (int i = 1; i + 1 < n; ++i) {
        Append(m_pTriangleVB, v[0]);
        Append(m_pTriangleVB, v[i]);
        Append(m_pTriangleVB, v[i + 1]);
      }
      m_pTriangleVBuffer.clear();
      break;
    default:
      break;
  }
}

void CGraphicsRecorder::SetColour(uint32_t col) { m_GlobalColour = col & ~1u; }

void CGraphicsRecorder::ChangeColour(uint32_t col) {
  col &= ~1u;
  for (auto* list : {&m_pTriangleVB, &m_pLineVB, &m_pPointVB})
    for (RRecordedVertex& v : *list)
      if (v.color == m_GlobalColour) v.color = col;
  m_pTriangleVBuffer.clear();
  m_pLineVBuffer.clear();
  m_pPointVBuffer.clear();
  m_GlobalColour = col;
}

bool CGraphicsRecorder::Build(const std::vector<RRecordedVertex>& list, int per_primitive, RChunks& chunks) {
  const size_t chunk = size_t(GR_D3D_Max_Primitives()) * size_t(per_primitive);
  try {
    for (size_t start = 0; start < list.size(); start += chunk) {
      const size_t n = std::min(chunk, list.size() - start);
      std::vector<RDeviceVertex> out(n);
      for (size_t i = 0; i < n; ++i) {
        const RRecordedVertex& r = list[start + i];
        out[i] = RDeviceVertex{r.x, r.y, r.z, r.color, r.u, r.v};
      }
      chunks.push_back(std::move(out));
    }
  } catch (const std::bad_alloc&) {
    chunks.clear();
    if (!g_make_error_shown) {
      g_make_error_shown = true;
      const std::string text = "Error making Vertex Buffer(out of memory):  count:" + std::to_string(list.size()) +
                               "  memory:" + std::to_string(list.size() * sizeof(RRecordedVertex)) +
                               "   (error reported once only)";
      TraceWrite(text);
      ShowMessage(text);
    }
    return false;
  }
  return true;
}

void CGraphicsRecorder::Draw(int tex, double x, double y, double z) {
  if (!GR_D3D_Exists()) return;
  float saved[16];
  GR_D3D_Get_World(saved);
  // translation x world: the row-vector translation moves the model first.
  float world[16];
  std::copy(saved, saved + 16, world);
  const double t[3] = {x, y, z};
  for (int c = 0; c < 4; ++c)
    world[12 + c] = float(saved[12 + c] + t[0] * saved[c] + t[1] * saved[4 + c] + t[2] * saved[8 + c]);
  GR_D3D_Set_World(world);
  struct RList {
    const std::vector<RRecordedVertex>* list;
    RChunks* chunks;
    int per;
    EPrimitive kind;
  };
  if (m_pTriangleVBuffer.empty()) m_pTriangleVB.shrink_to_fit();
  const RList lists[] = {{&m_pTriangleVB, &m_pTriangleVBuffer, 3, EPrimitive::TriangleList},
                         {&m_pLineVB, &m_pLineVBuffer, 2, EPrimitive::LineList},
                         {&m_pPointVB, &m_pPointVBuffer, 1, EPrimitive::PointList}};
  for (const RList& l : lists) {
    if (l.list->empty()) continue;
    if (l.chunks->empty() && !Build(*l.list, l.per, *l.chunks)) continue;
    for (const auto& c : *l.chunks) GR_D3D_Draw(l.kind, c.data(), int(c.size()), tex);
  }
  GR_D3D_Set_World(saved);
}

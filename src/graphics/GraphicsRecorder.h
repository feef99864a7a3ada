#pragma once
// CGraphicsRecorder: primitives collected once into point, line and
// triangle lists and drawn again and again from device-ready chunks (the
// store behind 3D models).
#include <cstdint>
#include <vector>

#include "platform/Render_Device.h"

// A recorded vertex: position, normal, colour (alpha in bits 24-31, red
// 16-23, green 8-15, blue 0-7) and texture coordinates.
struct RRecordedVertex {
  float x = 0, y = 0, z = 0;
  float nx = 0, ny = 0, nz = 0;
  uint32_t color = 0xFFFFFFFF;
  float u = 0, v = 0;
};
static_assert(sizeof(RRecordedVertex) == 36);

class CGraphicsRecorder {
 public:
  CGraphicsRecorder() = default;
  ~CGraphicsRecorder() { Destroy(); }
  CGraphicsRecorder(const CGraphicsRecorder&) = delete;
  CGraphicsRecorder& operator=(const CGraphicsRecorder&) = delete;

  void Create();
  void Destroy();  // empties every list
  // Appends n vertices of primitive kind type (1 point list ... 6 triangle
  // fan) in list form; strips and fans become lists. Other kinds and n <= 0
  // add nothing.
  void AddPrims(int type, int n, const RRecordedVertex* vertices);
  // The colour that vertices recorded "with the current colour" carry; it is
  // stored with its lowest bit cleared, so callers give explicit colours the
  // lowest bit set to keep them apart.
  void SetColour(uint32_t col);
  uint32_t GetColour() const { return m_GlobalColour; }
  // Every vertex of the current colour takes the new one.
  void ChangeColour(uint32_t col);
  // Draws all three lists with the texture (-1 none), moved by (x, y, z).
  void Draw(int tex, double x, double y, double z);

  int NumTriVerts() const { return int(m_pTriangleVB.size()); }
  int NumLineVerts() const { return int(m_pLineVB.size()); }
  int NumPointVerts() const { return int(m_pPointVB.size()); }
  // Chunks built for drawing (a chunk holds as many whole primitives as one
  // device draw call may take).
  int NumTriChunks() const { return int(m_pTriangleVBuffer.size()); }

 private:
  using RChunks = std::vector<std::vector<RDeviceVertex>>;
  // Builds the chunks of one list; false (reported once per run) when the
  // memory for them cannot be had.
  static bool Build(const std::vector<RRecordedVertex>& list, int per_primitive, RChunks& chunks);

  std::vector<RRecordedVertex> m_pTriangleVB, m_pLineVB, m_pPointVB;
  RChunks m_pTriangleVBuffer, m_pLineVBuffer, m_pPointVBuffer;
  uint32_t m_GlobalColour = 0xFFFFFFFEu;  // -2
};

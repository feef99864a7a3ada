// The floor of the primitives benchmark: plain OpenGL drawing the same
// 20,000 lines and 5,000 filled circles (24 segments) a frame. It is the
// least a program can do for them with OpenGL 3.3: vertices computed on the
// CPU every frame into one buffer, one upload and one draw call per
// primitive type (lines, triangles), into a 640x480 framebuffer object.
// Usage: bench_primitives_floor [LINES [CIRCLES [FRAMES]]].
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "GL_Floor.h"

namespace {

struct Vertex {
  float x, y, z;
  uint32_t color;
};

const char* const kVertex = R"(#version 330 core
layout(location = 0) in vec3 a_pos;
layout(location = 1) in vec4 a_color;
uniform vec2 u_scale;
out vec4 v_color;
void main() {
  gl_Position = vec4(a_pos.xy * u_scale + vec2(-1.0, -1.0), 0.0, 1.0);
  v_color = a_color.zyxw;
}
)";

const char* const kFragment = R"(#version 330 core
in vec4 v_color;
out vec4 o_color;
void main() { o_color = v_color; }
)";

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int circles = argc > 2 ? std::atoi(argv[2]) : 5000;
  const int frames = argc > 3 ? std::atoi(argv[3]) : 100;
  const int kW = 640, kH = 480, kSegments = 24;

  CFloorContext gl;
  if (!gl.Open(kW, kH)) return 1;

  gl.Program(kVertex, kFragment, kW, kH);

  GLuint vao, vbo;
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  glGenBuffers(1, &vbo);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(0));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex), reinterpret_cast<void*>(12));

  // The shapes of bench/primitives_game, fixed by their index.
  struct Line {
    float x1, y1, x2, y2;
  };
  struct Circle {
    float x, y, r;
  };
  std::vector<Line> ls(lines > 0 ? lines : 0);
  for (int i = 0; i < int(ls.size()); i++) {
    float x = float((i * 37) % 640), y = float((i * 91) % 480);
    ls[i] = {x, y, x + 5 + i % 23, y + 3 + i % 17};
  }
  std::vector<Circle> cs(circles > 0 ? circles : 0);
  for (int i = 0; i < int(cs.size()); i++) cs[i] = {float((i * 53) % 640), float((i * 29) % 480), float(2 + i % 7)};
  float cosk[kSegments + 1], sink[kSegments + 1];
  for (int k = 0; k <= kSegments; k++) {
    cosk[k] = float(std::cos(2 * M_PI * k / kSegments));
    sink[k] = float(std::sin(2 * M_PI * k / kSegments));
  }
  const uint32_t white = 0xFFFFFFFF, orange = 0xFFFFA040;
  std::vector<Vertex> verts;
  verts.reserve(ls.size() * 2 + cs.size() * kSegments * 3);

  auto start = std::chrono::steady_clock::now();
  for (int f = 0; f < frames; f++) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    verts.clear();
    for (const Line& l : ls) {
      verts.push_back({l.x1, l.y1, 0, white});
      verts.push_back({l.x2, l.y2, 0, white});
    }
    const size_t line_vertices = verts.size();
    for (const Circle& c : cs)
      for (int k = 0; k < kSegments; k++) {
        verts.push_back({c.x + c.r * cosk[k], c.y + c.r * sink[k], 0, orange});
        verts.push_back({c.x + c.r * cosk[k + 1], c.y + c.r * sink[k + 1], 0, orange});
        verts.push_back({c.x, c.y, 0, orange});
      }
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(verts.size() * sizeof(Vertex)), verts.data(), GL_STREAM_DRAW);
    glDrawArrays(GL_LINES, 0, GLsizei(line_vertices));
    glDrawArrays(GL_TRIANGLES, GLint(line_vertices), GLsizei(verts.size() - line_vertices));
  }
  glFinish();
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("floor: %d lines + %d circles x %d frames: %.1f ms\n", lines, circles, frames, ms);

  return 0;
}

// The floor of the text benchmark: plain OpenGL drawing the glyphs of
// 1,000 texts of 20 characters a frame. The glyph rectangles come from the
// same default font the game uses (Arial 12 through the font rasteriser);
// every frame the quads are computed on the CPU from the texts, uploaded in
// one buffer and drawn in one call into a 640x480 framebuffer object, the
// least a program can do to draw that text with OpenGL 3.3.
// Usage: bench_text_floor [TEXTS [FRAMES]].
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "GL_Floor.h"

#include "resources/Font_Class.h"

namespace {

struct Vertex {
  float x, y, z;
  uint32_t color;
  float u, v;
};

const char* const kVertex = R"(#version 330 core
layout(location = 0) in vec3 a_pos;
layout(location = 1) in vec4 a_color;
layout(location = 2) in vec2 a_uv;
uniform vec2 u_scale;
out vec4 v_color;
out vec2 v_uv;
void main() {
  gl_Position = vec4(a_pos.xy * u_scale + vec2(-1.0, -1.0), 0.0, 1.0);
  v_color = a_color.zyxw;
  v_uv = a_uv;
}
)";

const char* const kFragment = R"(#version 330 core
in vec4 v_color;
in vec2 v_uv;
uniform sampler2D u_tex;
out vec4 o_color;
void main() { o_color = texture(u_tex, v_uv) * v_color; }
)";

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int frames = argc > 2 ? std::atoi(argv[2]) : 100;
  const int kW = 640, kH = 480;

  // The texts and places of bench/text_game's create event.
  std::vector<std::string> texts;
  std::vector<float> px, py;
  for (int i = 0; i < n; i++) {
    std::string t;
    for (int k = 0; k < 20; k++) t += char(48 + (i * 3 + k * 7) % 75);
    texts.push_back(t);
    px.push_back(float((i % 25) * 24));
    py.push_back(float((i / 25) * 12));
  }
  CFont font;
  font.CreateFont("Arial", 12, false, false, 32, 127);
  if (font.s_bw <= 0) {
    std::fprintf(stderr, "no font\n");
    return 1;
  }

  CFloorContext gl;
  if (!gl.Open(kW, kH)) return 1;

  gl.Program(kVertex, kFragment, kW, kH);

  // The atlas as white texels with the coverage as alpha, as the runner
  // makes it.
  std::vector<uint32_t> image(font.s_bytes.size());
  for (size_t i = 0; i < image.size(); i++) image[i] = (uint32_t(font.s_bytes[i]) << 24) | 0xFFFFFFu;
  GLuint tex;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, font.s_bw, font.s_bh, 0, GL_BGRA, GL_UNSIGNED_BYTE, image.data());

  GLuint vao, vbo;
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  glGenBuffers(1, &vbo);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(0));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex), reinterpret_cast<void*>(12));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(16));

  std::vector<Vertex> verts;
  verts.reserve(size_t(n) * 20 * 6);
  const float bw = float(font.s_bw), bh = float(font.s_bh);
  auto start = std::chrono::steady_clock::now();
  for (int f = 0; f < frames; f++) {
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    verts.clear();
    for (int i = 0; i < n; i++) {
      float pen = px[size_t(i)];
      const float y = py[size_t(i)] - 0.5f;
      for (unsigned char c : texts[size_t(i)]) {
        const float x = pen + float(font.s_offset[c]) - 0.5f, w = float(font.s_w[c]), h = float(font.s_h[c]);
        const float u0 = float(font.s_x[c]) / bw, v0 = float(font.s_y[c]) / bh;
        const float u1 = (float(font.s_x[c]) + w) / bw, v1 = (float(font.s_y[c]) + h) / bh;
        const Vertex q[4] = {{x, y, 0, 0xFF000000u, u0, v0},
                             {x + w, y, 0, 0xFF000000u, u1, v0},
                             {x + w, y + h, 0, 0xFF000000u, u1, v1},
                             {x, y + h, 0, 0xFF000000u, u0, v1}};
        verts.insert(verts.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
        pen += float(font.CharShift(c));
      }
    }
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(verts.size() * sizeof(Vertex)), verts.data(), GL_STREAM_DRAW);
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(verts.size()));
  }
  glFinish();
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("floor: %d texts x %d frames: %.1f ms\n", n, frames, ms);

  return 0;
}

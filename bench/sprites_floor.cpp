// The floor of the sprite benchmark: plain OpenGL drawing N sprites a frame.
// It is the least a program can do to draw N rotated, alpha-blended 32x32
// sprites per frame with OpenGL 3.3 (corners computed on the CPU, one buffer
// upload and one draw call per frame) into a 640x480 framebuffer object.
// Usage: bench_sprites_floor [N [FRAMES]].
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

// A fixed pseudo-random sequence, so every run draws the same frames.
uint32_t g_seed = 12345;
float Random01() {
  g_seed = g_seed * 1103515245u + 12345u;
  return float((g_seed >> 8) & 0xFFFF) / 65536.0f;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int frames = argc > 2 ? std::atoi(argv[2]) : 100;
  const int kW = 640, kH = 480, kSize = 32;

  CFloorContext gl;
  if (!gl.Open(kW, kH)) return 1;

  gl.Program(kVertex, kFragment, kW, kH);

  // A disc with a soft edge, so that blending has work on every sprite.
  std::vector<uint32_t> image(kSize * kSize);
  for (int y = 0; y < kSize; y++)
    for (int x = 0; x < kSize; x++) {
      float dx = x - 15.5f, dy = y - 15.5f, d = std::sqrt(dx * dx + dy * dy);
      int a = d < 14 ? 255 : d < 16 ? int((16 - d) * 127) : 0;
      image[y * kSize + x] = (uint32_t(a) << 24) | (uint32_t(x * 8) << 16) | (uint32_t(y * 8) << 8) | 128u;
    }
  GLuint tex;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kSize, kSize, 0, GL_BGRA, GL_UNSIGNED_BYTE, image.data());

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

  struct Sprite {
    float x, y, angle, spin;
  };
  std::vector<Sprite> sprites(n > 0 ? n : 0);
  for (Sprite& s : sprites) s = {Random01() * kW, Random01() * kH, Random01() * 360, Random01() * 10 - 5};
  std::vector<Vertex> verts;
  verts.reserve(sprites.size() * 6);

  auto start = std::chrono::steady_clock::now();
  for (int f = 0; f < frames; f++) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    verts.clear();
    for (const Sprite& s : sprites) {
      float a = (s.angle + s.spin * f) * 3.14159265f / 180, c = std::cos(a), sn = std::sin(a);
      const float lx[4] = {-16.5f, 15.5f, 15.5f, -16.5f}, ly[4] = {-16.5f, -16.5f, 15.5f, 15.5f};
      const float u[4] = {0, 1, 1, 0}, v[4] = {0, 0, 1, 1};
      Vertex q[4];
      for (int i = 0; i < 4; i++)
        q[i] = {s.x + lx[i] * c + ly[i] * sn, s.y - lx[i] * sn + ly[i] * c, 0, 0xFFFFFFFF, u[i], v[i]};
      verts.insert(verts.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
    }
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(verts.size() * sizeof(Vertex)), verts.data(), GL_STREAM_DRAW);
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(verts.size()));
  }
  glFinish();
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("floor: %d quads x %d frames: %.1f ms\n", n, frames, ms);

  return 0;
}

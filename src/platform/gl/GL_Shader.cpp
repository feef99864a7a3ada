// The shader pair of the OpenGL device and its compilation.
#define GL_GLEXT_PROTOTYPES
#include "platform/gl/GL_Shader.h"

#include <GL/glcorearb.h>

#include <vector>

namespace {

// Only the #version line differs between desktop and ES, so the bodies are
// kept to what both languages accept.
const char* const kVertexBody = R"(
layout(location = 0) in vec3 a_pos;
layout(location = 1) in vec4 a_color;  // bytes blue, green, red, alpha
layout(location = 2) in vec2 a_uv;
uniform mat4 u_wvp;   // world x view x projection, made ready for GL clip space
uniform vec4 u_wv_z;  // the view-space depth as a dot product with the position
out vec4 v_color;
flat out vec4 v_flat_color;
out vec2 v_uv;
out float v_depth;
void main() {
  vec4 p = vec4(a_pos, 1.0);
  gl_Position = u_wvp * p;
  v_color = a_color.zyxw;
  v_flat_color = v_color;
  v_uv = a_uv;
  v_depth = dot(p, u_wv_z);
  gl_PointSize = 1.0;
}
)";

const char* const kFragmentBody = R"(
precision highp float;
in vec4 v_color;
flat in vec4 v_flat_color;
in vec2 v_uv;
in float v_depth;
uniform sampler2D u_tex;
uniform int u_mode;        // 0 vertex colour, 1 texture x vertex colour, 2 texture alone
uniform int u_alpha_test;
uniform int u_smooth;
uniform int u_fog;
uniform vec3 u_fog_color;
uniform vec2 u_fog_range;  // fog end, 1 / (end - start)
out vec4 o_color;
void main() {
  vec4 c = u_smooth != 0 ? v_color : v_flat_color;
  if (u_mode == 1) {
    c *= texture(u_tex, v_uv);
  } else if (u_mode == 2) {
    c = texture(u_tex, v_uv);
  }
  // Alpha that an 8-bit pipeline would round to 0 counts as 0.
  if (u_alpha_test != 0 && c.a < 0.5 / 255.0) discard;
  if (u_fog != 0) {
    float f = clamp((u_fog_range.x - v_depth) * u_fog_range.y, 0.0, 1.0);
    c.rgb = mix(u_fog_color, c.rgb, f);
  }
  o_color = c;
}
)";

unsigned Compile(GLenum kind, bool es, const char* body, std::string& error) {
  const char* parts[2] = {es ? "#version 300 es\n" : "#version 330 core\n", body};
  GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 2, parts, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    GLint len = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &len);
    std::vector<char> log(len > 0 ? len : 1);
    glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, log.data());
    error = std::string(kind == GL_VERTEX_SHADER ? "vertex" : "fragment") + " shader: " + log.data();
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

}  // namespace

unsigned GL_BuildProgram(bool es, std::string& error) {
  GLuint vs = Compile(GL_VERTEX_SHADER, es, kVertexBody, error);
  if (!vs) return 0;
  GLuint fs = Compile(GL_FRAGMENT_SHADER, es, kFragmentBody, error);
  if (!fs) {
    glDeleteShader(vs);
    return 0;
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    GLint len = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &len);
    std::vector<char> log(len > 0 ? len : 1);
    glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
    error = std::string("shader link: ") + log.data();
    glDeleteProgram(program);
    return 0;
  }
  return program;
}

// The shader pair of the OpenGL device and its compilation.
#define GL_GLEXT_PROTOTYPES
#include "platform/gl/GL_Shader.h"

#include <GL/glcorearb.h>

#include <vector>

namespace {

const char* const kVertexBody = R"(
layout(location = 0) in vec3 a_pos;
layout(location = 1) in vec4 a_color;  // bytes blue, green, red, alpha
layout(location = 2) in vec2 a_uv;
uniform mat4 u_wvp;   // world x view x projection, made ready for GL clip space
out vec2 v_uv;
#if FLAT
flat out vec4 v_color;
#else
out vec4 v_color;
#endif
#if FOG
uniform vec4 u_wv_z;  // the view-space depth as a dot product with the position
out float v_depth;
#endif
void main() {
  vec4 p = vec4(a_pos, 1.0);
  gl_Position = u_wvp * p;
  v_color = a_color.zyxw;
  v_uv = a_uv;
#if FOG
  v_depth = dot(p, u_wv_z);
#endif
  gl_PointSize = 1.0;
}
)";

const char* const kFragmentBody = R"(
precision highp float;
in vec2 v_uv;
#if FLAT
flat in vec4 v_color;
#else
in vec4 v_color;
#endif
uniform sampler2D u_tex;
#if FOG
in float v_depth;
uniform vec3 u_fog_color;
uniform vec2 u_fog_range;  // fog end, 1 / (end - start)
#endif
out vec4 o_color;
void main() {
  vec4 c = v_color;
#if MODE == 1
  c *= texture(u_tex, v_uv);
#elif MODE == 2
  c = texture(u_tex, v_uv);
#endif
#if ALPHA_TEST
  // Alpha that an 8-bit pipeline would round to 0 counts as 0.
  if (c.a < 0.5 / 255.0) discard;
#endif
#if FOG
  float f = clamp((u_fog_range.x - v_depth) * u_fog_range.y, 0.0, 1.0);
  c.rgb = mix(u_fog_color, c.rgb, f);
#endif
  o_color = c;
}
)";

// Only the #version line differs between desktop and ES, so the bodies are
// kept to what both languages accept.
unsigned Compile(GLenum kind, bool es, const std::string& defines, const char* body, std::string& error) {
  const char* parts[3] = {es ? "#version 300 es\n" : "#version 330 core\n", defines.c_str(), body};
  GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 3, parts, nullptr);
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

unsigned GL_BuildProgram(bool es, int features, std::string& error) {
  std::string defines = "#define MODE " + std::to_string(features & 3) + "\n#define ALPHA_TEST " +
                        std::to_string((features & kGLAlphaTest) ? 1 : 0) + "\n#define FOG " +
                        std::to_string((features & kGLFog) ? 1 : 0) + "\n#define FLAT " +
                        std::to_string((features & kGLFlat) ? 1 : 0) + "\n";
  GLuint vs = Compile(GL_VERTEX_SHADER, es, defines, kVertexBody, error);
  if (!vs) return 0;
  GLuint fs = Compile(GL_FRAGMENT_SHADER, es, defines, kFragmentBody, error);
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

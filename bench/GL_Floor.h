#pragma once
// What every drawing floor needs before its frame loop: an OpenGL 3.3 core
// context on SDL's offscreen driver, a framebuffer object of the frame's
// size with alpha blending on, and a linked program with u_scale set.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#define GL_GLEXT_PROTOTYPES
#include <GL/glcorearb.h>

inline GLuint FloorCompile(GLenum kind, const char* src) {
  GLuint s = glCreateShader(kind);
  glShaderSource(s, 1, &src, nullptr);
  glCompileShader(s);
  GLint ok = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024];
    glGetShaderInfoLog(s, sizeof log, nullptr, log);
    std::fprintf(stderr, "shader: %s\n", log);
    std::exit(1);
  }
  return s;
}

class CFloorContext {
 public:
  // False after a message on stderr.
  bool Open(int w, int h) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
      std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
      return false;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    window_ = SDL_CreateWindow("floor", 0, 0, w, h, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    context_ = window_ ? SDL_GL_CreateContext(window_) : nullptr;
    if (!context_) {
      std::fprintf(stderr, "OpenGL context: %s\n", SDL_GetError());
      return false;
    }
    GLuint color, fbo;
    glGenRenderbuffers(1, &color);
    glBindRenderbuffer(GL_RENDERBUFFER, color);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      std::fprintf(stderr, "framebuffer incomplete\n");
      return false;
    }
    glViewport(0, 0, w, h);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    return true;
  }

  // The program of the two shaders, in use, with u_scale mapping pixels of a
  // w x h frame to clip space.
  GLuint Program(const char* vertex, const char* fragment, int w, int h) {
    GLuint program = glCreateProgram();
    glAttachShader(program, FloorCompile(GL_VERTEX_SHADER, vertex));
    glAttachShader(program, FloorCompile(GL_FRAGMENT_SHADER, fragment));
    glLinkProgram(program);
    glUseProgram(program);
    glUniform2f(glGetUniformLocation(program, "u_scale"), 2.0f / w, 2.0f / h);
    return program;
  }

  ~CFloorContext() {
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
  }

 private:
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
};

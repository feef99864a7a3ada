// The OpenGL functions of the render device, opened when a window makes one.
#define GL_GLEXT_PROTOTYPES
#include <GL/glcorearb.h>

#include "platform/Library_Loader.h"

#define RR_GL_FUNCTIONS(X) \
  X(void, glActiveTexture, void(), (GLenum a0), (a0)) \
  X(void, glAttachShader, void(), (GLuint a0, GLuint a1), (a0, a1)) \
  X(void, glBindBuffer, void(), (GLenum a0, GLuint a1), (a0, a1)) \
  X(void, glBindFramebuffer, void(), (GLenum a0, GLuint a1), (a0, a1)) \
  X(void, glBindRenderbuffer, void(), (GLenum a0, GLuint a1), (a0, a1)) \
  X(void, glBindSampler, void(), (GLuint a0, GLuint a1), (a0, a1)) \
  X(void, glBindTexture, void(), (GLenum a0, GLuint a1), (a0, a1)) \
  X(void, glBindVertexArray, void(), (GLuint a0), (a0)) \
  X(void, glBlendFunc, void(), (GLenum a0, GLenum a1), (a0, a1)) \
  X(void, glBlitFramebuffer, void(), (GLint a0, GLint a1, GLint a2, GLint a3, GLint a4, GLint a5, GLint a6, GLint a7, GLbitfield a8, GLenum a9), (a0, a1, a2, a3, a4, a5, a6, a7, a8, a9)) \
  X(void, glBufferData, void(), (GLenum a0, GLsizeiptr a1, const void* a2, GLenum a3), (a0, a1, a2, a3)) \
  X(GLenum, glCheckFramebufferStatus, {}, (GLenum a0), (a0)) \
  X(void, glClear, void(), (GLbitfield a0), (a0)) \
  X(void, glClearColor, void(), (GLfloat a0, GLfloat a1, GLfloat a2, GLfloat a3), (a0, a1, a2, a3)) \
  X(void, glClearDepth, void(), (GLdouble a0), (a0)) \
  X(void, glColorMask, void(), (GLboolean a0, GLboolean a1, GLboolean a2, GLboolean a3), (a0, a1, a2, a3)) \
  X(void, glCompileShader, void(), (GLuint a0), (a0)) \
  X(GLuint, glCreateProgram, {}, (void), ()) \
  X(GLuint, glCreateShader, {}, (GLenum a0), (a0)) \
  X(void, glCullFace, void(), (GLenum a0), (a0)) \
  X(void, glDeleteBuffers, void(), (GLsizei a0, const GLuint* a1), (a0, a1)) \
  X(void, glDeleteFramebuffers, void(), (GLsizei a0, const GLuint* a1), (a0, a1)) \
  X(void, glDeleteProgram, void(), (GLuint a0), (a0)) \
  X(void, glDeleteRenderbuffers, void(), (GLsizei a0, const GLuint* a1), (a0, a1)) \
  X(void, glDeleteSamplers, void(), (GLsizei a0, const GLuint* a1), (a0, a1)) \
  X(void, glDeleteShader, void(), (GLuint a0), (a0)) \
  X(void, glDeleteTextures, void(), (GLsizei a0, const GLuint* a1), (a0, a1)) \
  X(void, glDeleteVertexArrays, void(), (GLsizei a0, const GLuint* a1), (a0, a1)) \
  X(void, glDepthFunc, void(), (GLenum a0), (a0)) \
  X(void, glDepthMask, void(), (GLboolean a0), (a0)) \
  X(void, glDisable, void(), (GLenum a0), (a0)) \
  X(void, glDrawArrays, void(), (GLenum a0, GLint a1, GLsizei a2), (a0, a1, a2)) \
  X(void, glEnable, void(), (GLenum a0), (a0)) \
  X(void, glEnableVertexAttribArray, void(), (GLuint a0), (a0)) \
  X(void, glFramebufferRenderbuffer, void(), (GLenum a0, GLenum a1, GLenum a2, GLuint a3), (a0, a1, a2, a3)) \
  X(void, glFramebufferTexture2D, void(), (GLenum a0, GLenum a1, GLenum a2, GLuint a3, GLint a4), (a0, a1, a2, a3, a4)) \
  X(void, glFrontFace, void(), (GLenum a0), (a0)) \
  X(void, glGenBuffers, void(), (GLsizei a0, GLuint* a1), (a0, a1)) \
  X(void, glGenFramebuffers, void(), (GLsizei a0, GLuint* a1), (a0, a1)) \
  X(void, glGenRenderbuffers, void(), (GLsizei a0, GLuint* a1), (a0, a1)) \
  X(void, glGenSamplers, void(), (GLsizei a0, GLuint* a1), (a0, a1)) \
  X(void, glGenTextures, void(), (GLsizei a0, GLuint* a1), (a0, a1)) \
  X(void, glGenVertexArrays, void(), (GLsizei a0, GLuint* a1), (a0, a1)) \
  X(GLenum, glGetError, {}, (void), ()) \
  X(void, glGetIntegerv, void(), (GLenum a0, GLint* a1), (a0, a1)) \
  X(void, glGetProgramInfoLog, void(), (GLuint a0, GLsizei a1, GLsizei* a2, GLchar* a3), (a0, a1, a2, a3)) \
  X(void, glGetProgramiv, void(), (GLuint a0, GLenum a1, GLint* a2), (a0, a1, a2)) \
  X(void, glGetShaderInfoLog, void(), (GLuint a0, GLsizei a1, GLsizei* a2, GLchar* a3), (a0, a1, a2, a3)) \
  X(void, glGetShaderiv, void(), (GLuint a0, GLenum a1, GLint* a2), (a0, a1, a2)) \
  X(const GLubyte*, glGetString, {}, (GLenum a0), (a0)) \
  X(GLint, glGetUniformLocation, {}, (GLuint a0, const GLchar* a1), (a0, a1)) \
  X(void, glLinkProgram, void(), (GLuint a0), (a0)) \
  X(void, glPixelStorei, void(), (GLenum a0, GLint a1), (a0, a1)) \
  X(void, glProvokingVertex, void(), (GLenum a0), (a0)) \
  X(void, glReadPixels, void(), (GLint a0, GLint a1, GLsizei a2, GLsizei a3, GLenum a4, GLenum a5, void* a6), (a0, a1, a2, a3, a4, a5, a6)) \
  X(void, glRenderbufferStorage, void(), (GLenum a0, GLenum a1, GLsizei a2, GLsizei a3), (a0, a1, a2, a3)) \
  X(void, glRenderbufferStorageMultisample, void(), (GLenum a0, GLsizei a1, GLenum a2, GLsizei a3, GLsizei a4), (a0, a1, a2, a3, a4)) \
  X(void, glSamplerParameteri, void(), (GLuint a0, GLenum a1, GLint a2), (a0, a1, a2)) \
  X(void, glScissor, void(), (GLint a0, GLint a1, GLsizei a2, GLsizei a3), (a0, a1, a2, a3)) \
  X(void, glShaderSource, void(), (GLuint a0, GLsizei a1, const GLchar *const* a2, const GLint* a3), (a0, a1, a2, a3)) \
  X(void, glTexImage2D, void(), (GLenum a0, GLint a1, GLint a2, GLsizei a3, GLsizei a4, GLint a5, GLenum a6, GLenum a7, const void* a8), (a0, a1, a2, a3, a4, a5, a6, a7, a8)) \
  X(void, glTexParameteri, void(), (GLenum a0, GLenum a1, GLint a2), (a0, a1, a2)) \
  X(void, glTexSubImage2D, void(), (GLenum a0, GLint a1, GLint a2, GLint a3, GLsizei a4, GLsizei a5, GLenum a6, GLenum a7, const void* a8), (a0, a1, a2, a3, a4, a5, a6, a7, a8)) \
  X(void, glUniform1i, void(), (GLint a0, GLint a1), (a0, a1)) \
  X(void, glUniform2f, void(), (GLint a0, GLfloat a1, GLfloat a2), (a0, a1, a2)) \
  X(void, glUniform3f, void(), (GLint a0, GLfloat a1, GLfloat a2, GLfloat a3), (a0, a1, a2, a3)) \
  X(void, glUniform4fv, void(), (GLint a0, GLsizei a1, const GLfloat* a2), (a0, a1, a2)) \
  X(void, glUniformMatrix4fv, void(), (GLint a0, GLsizei a1, GLboolean a2, const GLfloat* a3), (a0, a1, a2, a3)) \
  X(void, glUseProgram, void(), (GLuint a0), (a0)) \
  X(void, glVertexAttribPointer, void(), (GLuint a0, GLint a1, GLenum a2, GLboolean a3, GLsizei a4, const void* a5), (a0, a1, a2, a3, a4, a5)) \
  X(void, glViewport, void(), (GLint a0, GLint a1, GLsizei a2, GLsizei a3), (a0, a1, a2, a3))

RR_IMPORT_LIBRARY(GlLibrary, "libOpenGL.so.0", "drawing", RR_GL_FUNCTIONS)

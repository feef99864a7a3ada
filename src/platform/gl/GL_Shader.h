#pragma once
// The one shader pair of the OpenGL device: the fixed-function features the
// game uses (vertex colour, one modulating texture stage, alpha test, linear
// fog, flat or smooth shading), written once for GLSL 3.30 and GLSL ES 3.00.
#include <string>

// Vertex attribute locations of RDeviceVertex.
enum { kGLAttrPosition = 0, kGLAttrColor = 1, kGLAttrTexCoord = 2 };

// Values of the u_mode uniform.
enum { kGLModeColor = 0, kGLModeModulate = 1, kGLModeTexture = 2 };

// Compiles and links the program for the current context (es: OpenGL ES
// 3.0). 0 with the compiler's log in error.
unsigned GL_BuildProgram(bool es, std::string& error);

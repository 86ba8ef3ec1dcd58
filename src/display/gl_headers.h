// The fixed-function OpenGL and GLU declarations, without a platform header.
//
// On Windows the system GL headers expect <windows.h> to have defined the calling
// convention and import macros. The core never includes <windows.h>, so the three macros
// the headers use are supplied here and withdrawn again afterwards; a host that includes
// <windows.h> first keeps its own definitions, and one that includes it later gets them
// without a redefinition.
#pragma once

#if defined(_WIN32)
#ifndef APIENTRY
#define APIENTRY __stdcall
#define ROSES_DEFINED_APIENTRY
#endif
#ifndef WINGDIAPI
#define WINGDIAPI __declspec(dllimport)
#define ROSES_DEFINED_WINGDIAPI
#endif
#ifndef CALLBACK
#define CALLBACK __stdcall
#define ROSES_DEFINED_CALLBACK
#endif
#endif

#include <GL/gl.h>
#include <GL/glu.h>

// OpenGL 1.2's name for the widest line a driver draws; the Windows headers stop at 1.1.
#ifndef GL_ALIASED_LINE_WIDTH_RANGE
#define GL_ALIASED_LINE_WIDTH_RANGE 0x846E
#endif

#ifdef ROSES_DEFINED_APIENTRY
#undef APIENTRY
#undef ROSES_DEFINED_APIENTRY
#endif
#ifdef ROSES_DEFINED_WINGDIAPI
#undef WINGDIAPI
#undef ROSES_DEFINED_WINGDIAPI
#endif
#ifdef ROSES_DEFINED_CALLBACK
#undef CALLBACK
#undef ROSES_DEFINED_CALLBACK
#endif

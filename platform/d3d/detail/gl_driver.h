#pragma once
// Keeps the OpenGL driver modules (Mesa's *_dri.so) loaded until the process ends. Mesa
// unloads a driver with the last context or surface that used it, and what the driver keeps
// for itself until then would be reported by leak checkers against a module that no longer
// exists, beyond any suppression's reach. Call it once a GL surface or context exists.
namespace quelm::d3d {

void KeepGlDriverLoaded();

} // namespace quelm::d3d

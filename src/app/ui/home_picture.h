#pragma once

#include <QImage>

namespace k4m {

// The home-screen picture shown until the server sends one: 1600 x 844, drawn by the program.
QImage builtInHomePicture();

} // namespace k4m

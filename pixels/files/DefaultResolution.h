#pragma once

// The resolution a picture takes when its file gives none (a JPEG with a mere aspect ratio): 96 dots an inch
// whatever screen the program runs on, so that the window and kelvo-gray write such a picture alike, byte for
// byte.
inline constexpr int DefaultDotsPerInch = 96;

// Has Qt give every picture read from now on DefaultDotsPerInch where its file gives no resolution, instead of
// its screen's. To be called before the application object is made.
void useDefaultResolution();

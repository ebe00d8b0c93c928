#pragma once
// Station logos: Stations/N.jpg, N.gif or N.png, decoded straight to the size they are shown at.
#include <QImage>
#include <QSize>

#include <string>
#include <vector>

namespace tembrik::stations {

// True for the three extensions that have a picture: ".jpg", ".gif" and ".png".
bool IsPictureExtension(const std::string& extension);

// Station N's logo, chosen by its LogoExtensions entry and scaled to `size` (aspect ratio not kept),
// or a null image when the station has no picture or its file is missing or cannot be decoded. A GIF
// gives its first frame on its full canvas; transparent pixels of any logo become white, so every
// picture is opaque.
QImage LoadLogo(int station, QSize size);

// LoadLogo for each station in turn, entry i for stations[i]; the decoding is spread over the
// machine's cores.
std::vector<QImage> LoadLogos(const std::vector<int>& stations, QSize size);

// Decodes one logo file the same way; the file's extension is not trusted, its content decides.
QImage DecodeLogoFile(const std::string& path, QSize size);

} // namespace tembrik::stations

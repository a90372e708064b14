#pragma once

#include <QFont>

class CSkinClient;

// The caption font of a section: "font" (face), "font_height", "font_width", "bold", "italic"
// and "underline", with a sans-serif fallback when the face is missing on this machine.
QFont SkinFont(CSkinClient& client);

#pragma once

#include <string>

class CSkin;

// The four tables of a skin as one JSON object: {"images": {KEY: FILE}, "icons": {...},
// "numbers": {KEY: N}, "texts": {KEY: TEXT}}, keys exactly as stored, indented by two.
std::string SkinJson(const CSkin& skin);
// A JSON string literal. Bytes that are not UTF-8 are taken as Latin-1.
std::string JsonString(const std::string& text);

// Module names written in a registry value's text: COM servers, services, drivers,
// codecs, command lines. The portable half of the registry's links
// (engine/registry_links.cpp reads the values and files the names). Portable.
//
// A text is cut at '"', ',', ';', '=', '@', '<', '>', '|', '*', '?' and control
// characters: quotes enclose a path, "X.dll,Entry" and "@X.dll,-5" end a name at the
// comma, and lists use commas and semicolons. In each piece a name ends with a module
// extension (kRegistryModuleExtensions) at the piece's end, a blank, '/' or ')'. It
// begins, after the piece's start and the end of the piece's previous name, at the
// last drive ("X:\" or "X:/") in front of it, so that an unquoted path keeps its
// blanks; without a drive, after the last blank. Such a name with a directory is taken
// by its file name when the directory begins with an unexpanded variable
// ("%SystemRoot%\system32\x.dll"), else passed over: it names no file the scan can
// place. Names longer than a path can be are passed over too.
#pragma once

#include <array>
#include <functional>
#include <string_view>

inline constexpr std::array<std::u16string_view, 11> kRegistryModuleExtensions = {
    u"dll", u"ocx", u"drv", u"exe", u"sys", u"cpl", u"acm", u"ax", u"scr", u"ime", u"tsp"};

// Receives each name found, a part of the text given, in text order.
using RegistryNameSink = std::function<void(std::u16string_view name)>;

// The names in one string.
void FindRegistryModuleNames(std::u16string_view text, const RegistryNameSink& sink);

// The names in a value's data, its bytes taken as UTF-16 whatever they hold: one string
// up to its first zero (or the data's end, when a writer left no terminator), or with
// multi (REG_MULTI_SZ) each string of the list.
void FindRegistryModuleNamesInData(std::u16string_view data, bool multi, const RegistryNameSink& sink);

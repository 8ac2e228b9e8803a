// The scrambled form of configuration files: every byte complemented, with the
// file's own name (any case of ASCII letters) in front of the XML as the only
// marker. Plain C++, so that tools on any platform share this one definition.
#pragma once

#include <cstddef>
#include <string>

// True when the data starts with the complemented name. An empty name marks
// nothing, so every file is plain for it.
bool IsScrambledConfig(const char* pchData, std::size_t cbData, const char* pchName,
                       std::size_t cchName);

// Undoes the scrambled form in place and returns where the XML starts: the name
// length for a scrambled file, 0 for a plain one, whose bytes stay untouched.
std::size_t UnscrambleConfigInPlace(char* pchData, std::size_t cbData, const char* pchName,
                                    std::size_t cchName);

// The bytes of a file of the given name holding strXML scrambled.
std::string ScrambleConfig(const std::string& strXML, const std::string& strName);

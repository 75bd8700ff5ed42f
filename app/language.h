// The work folder, the staged language file and the lookup of every text by key.
#pragma once
#include <string>

// %ProgramData%\QuorvaneDown\<program base name>, computed anew on every call.
std::wstring WorkFolder();

// Writes the embedded language file (resource "INI" 253) unchanged into the work folder.
void StageLanguageFile();

// Makes the staged English file the one that LoadLangString reads.
void SelectLanguageFile();

// The text of `key` in section LANSTR of the selected file; empty when there is none.
// Safe from any thread once the file has been selected.
std::wstring LoadLangString(const wchar_t* key);

// The skin image id to load for the user's UI language.
int ImageLangOffset(int baseId);

// Points lookups at another language file (tests use their own files).
void SelectLanguageFileForTesting(const std::wstring& path);

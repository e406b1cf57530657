#pragma once
// The directory-name replacement: the text operation and the rewriting of
// the stored backup and restore paths in the settings file.
#include <string>
#include <vector>

#include "app/Records.h"

namespace kalvero {

class SettingsFile;

// Every active entry replaces each occurrence of its old text (found without
// regard to case) by its new text as typed; later entries see the result of
// earlier ones. Entries with an empty old text are skipped; an entry whose
// new text contains its old text replaces each original occurrence once.
std::string ApplyDirReplacements(const std::string& text, const std::vector<DirReplacement>& list);

// Rewrites the path values of the backup side ("Allg" "Protokolldatei" and
// "Prueffile", every pair's source and destination, every excluded directory)
// in one replacement of the file. Flags and "|" separators are never touched.
// True when there was nothing to replace or the file was written; false with
// *error set (SettingsWriteFailedText) when the file could not be written.
bool ReplaceInBackupSettings(SettingsFile& settings, std::string* error = nullptr);
// The same for "Rueck" "PathSrc", "PathDst" and "Protokolldatei".
bool ReplaceInRestoreSettings(SettingsFile& settings, std::string* error = nullptr);

}  // namespace kalvero

// The "Tessaline" verb in Explorer's context menu of Pascal sources, in
// plain Win32: it runs the program with the chosen file as its one
// argument, which converts the file to a page beside it.
//
// The verb belongs to the file type that ".pas" names, as
// HKEY_CLASSES_ROOT shows it (the machine's types merged with the
// user's). It is written to the user's part of that view,
// HKEY_CURRENT_USER\Software\Classes\TYPE\Shell\Tessaline\command, so that
// registering needs no administrator; Tessaline never creates a file type
// of its own.
#pragma once

#include <string>

/// The file type that ".pas" names: the default value of
/// HKEY_CLASSES_ROOT\.pas, or empty when there is none. Throws
/// ERegistryException "Invalid data type for ''" when that value is not
/// text.
std::string PascalFileType();

/// What the verb runs for Program (a full path, UTF-8): the path, a blank
/// and "%1" in double quotes, e.g. C:\Tools\Tessaline.exe "%1". A path
/// holding a blank is put in double quotes itself.
std::string ExplorerVerbCommand(const std::string &Program);

/// Adds the verb for Program, or points the one there at Program: twice
/// leaves one verb. Throws ERegistryException: "Failed to set data for ''"
/// when the command key cannot be created or written (the keys created on
/// the way stay), "No file type is registered for .pas files" when ".pas"
/// names none, and as PascalFileType.
void RegisterExplorerVerb(const std::string &Program);

/// Removes the verb key with its command and nothing else: the type's
/// other verbs and keys stay. Nothing registered, or no type for ".pas",
/// is no error. Throws as PascalFileType.
void UnregisterExplorerVerb();

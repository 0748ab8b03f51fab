#pragma once

// Files written whole: the command line's file names, standard streams without line end
// translation, the output opened beside the file it replaces, the rename that replaces it, and
// messages for the console. File names are UTF-8 on Windows (opened by their wide names), bytes
// elsewhere.

#include <cstdio>
#include <string>
#include <vector>

// The arguments after the program's name (on Windows from the UTF-16 command line, as UTF-8).
std::vector<std::string> command_line_arguments(int argc, char** argv);

// Windows' shells leave wildcards to the program: each name with * or ? in its last part is
// replaced by the files it matches, in name order; false, with error naming the pattern, when one
// matches none. Elsewhere the shell has expanded them: names are left as they are.
bool expand_wildcards(std::vector<std::string>& names, std::string& error);

// Opens a file for reading; null with errno set when it cannot.
FILE* open_input(const std::string& path);

// True when both paths name one existing file.
bool same_file(const std::string& a, const std::string& b);

// Standard input and output as bytes (no CR LF on Windows).
void set_binary_stdio();

// Before anything is opened: closed standard descriptors are opened on the null device, so that
// no file takes their place; a write past a file size limit or into a closed pipe fails and is
// reported instead of ending the process.
void prepare_writer();

// True when path names the regular file that standard input reads, or may name it: on Windows,
// when that file's identity cannot be read and path names an existing file.
bool is_standard_input(const std::string& path);

// Why the file that path names cannot be the output, checked before any work: a folder, or a file
// the user may not write (as cp refuses it); "" when it can.
std::string output_refusal(const std::string& path);

// Opens path for writing. A FIFO or a device (on Windows NUL, CON and the other reserved names, as
// NUL.csv too) is written directly (temporary stays empty).
// Otherwise a new file is created in the folder of the file that path names (through symbolic
// links: that file is stored in replaced), with that file's permission bits when it exists; it is
// removed when a signal (on POSIX systems: any that is not ignored) or Ctrl-C ends the program
// before replace_file. Returns null and the reason in error when it cannot.
FILE* open_output(const std::string& path, std::string& temporary, std::string& replaced,
                  std::string& error);

// Renames from to to, replacing to when it exists; returns the reason when it cannot, else "".
std::string replace_file(const std::string& from, const std::string& to);

// Removes the temporary file that open_output made.
void remove_temporary(const std::string& temporary);

// Writes one line of UTF-8 text to standard error, so that a console or a file in the system's
// code page shows it.
void write_message(const std::string& text);

// Creates a new empty file in the system's folder for temporary files and returns its name;
// "" with the reason in error when it cannot. Like the output's temporary file, it is removed when
// a signal or Ctrl-C ends the program before remove_scratch_file.
std::string create_scratch_file(std::string& error);
void remove_scratch_file(const std::string& name);
// Opens the scratch file for reading, so that Ctrl-C can still remove it; null with errno set
// when it cannot.
FILE* open_scratch_file(const std::string& name);
// Brackets a library's own use of the scratch file. Windows cannot remove a file that is open
// without delete sharing, as libxlsxwriter opens it: Ctrl-C then waits until the library is done
// (up to a minute), removes the file and ends the run.
void scratch_file_in_use(bool in_use);

// True when stream is a terminal (a console on Windows).
bool is_terminal(FILE* stream);

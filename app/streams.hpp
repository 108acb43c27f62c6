#pragma once
// Line-oriented input streams over files and command pipes, reached through
// handles 1..255; a new stream takes the lowest free handle.
#include "app/text.hpp"

using StreamHandle = int;

// How a command pipe's child is set up.
enum class PipeMode {
  Plain,  // environment and standard input inherited, like popen
  Tool,   // output parsed by us: LC_ALL=C, standard input from /dev/null
  // As Tool, read without waiting (readAvailable) and in a process group of
  // its own, so that abortStream can end it with whatever it started.
  Watched,
};

// Handle of the opened file, or 0 when it cannot be opened (no handle taken).
StreamHandle openInputFile(const Text& fileName);

// Runs the command line through /bin/sh and reads its standard output.
// Handle, or 0 when no handle is free or the pipe cannot be made.
StreamHandle openCommandPipe(const Text& commandLine, PipeMode mode = PipeMode::Plain);

// True when the handle is not open or no further byte can be read
// (on a pipe this waits until the command writes or closes its output).
bool atEndOfInput(StreamHandle handle);

// Replaces target by the next line without its LF (and a CR before it, or a
// CR that is the last byte of the data). Unopened handle: target unchanged.
void readLine(StreamHandle handle, Text& target);

// Closes the stream (a pipe waits for its command to end); the handle is free.
void closeStream(StreamHandle handle);

enum class StreamState { Open, Ended };

// A Watched pipe: appends what its command has written so far, at most limit
// bytes, without waiting. Ended once the output has closed and the command
// has ended and been reaped; the handle is then free. Unopened: Ended.
StreamState readAvailable(StreamHandle handle, Text& target, size_t limit);

// Ends a Watched pipe's command and its process group at once, reaps it and
// frees the handle.
void abortStream(StreamHandle handle);

// Only kills every Watched pipe's process group, reaping none: for a program
// that ends without running its exit handlers. Async-signal-safe.
void killWatchedStreams();

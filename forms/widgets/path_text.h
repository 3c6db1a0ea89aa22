#pragma once
// File names as the file system's bytes. Qt decodes bytes that are not UTF-8 (a Shift_JIS name
// from an old archive) to U+FFFD, and such a QString no longer names the file; so the windows
// carry paths as std::string from wherever they come in to the decoders and the saved file's
// name, and turn them into QString only to show them.

#include <QString>
#include <QUrl>
#include <string>
#include <vector>

namespace trimlet {

// A path for labels and messages: each UTF-8 component as it is, one that is valid Shift_JIS
// (code page 932) decoded as such, anything else with U+FFFD for the bytes that do not decode.
QString displayPath(const std::string& path);

// The path, as bytes, of a local file URL; empty for any other URL. Percent-escapes are decoded
// byte for byte, so a name that is not UTF-8 comes through as the sender encoded it.
std::string localPathOfUrl(const QUrl& url);

// A file URL for a path, every byte outside the unreserved set percent-encoded.
QUrl urlOfLocalPath(const std::string& path);

// The bytes of a path a dialog gave back. Qt's dialogs neither list nor return names that are
// not UTF-8, but may be handed one to propose: a text that shows as one of known (the proposal)
// means that path; a component that lost bytes is looked up among its folder's entries; any
// other text is taken as UTF-8.
std::string pathFromDialog(const QString& chosen, const std::vector<std::string>& known = {});

// The longest leading part of path whose components are all UTF-8, so that a dialog can open
// there ("/" when none is); the path itself when it is all UTF-8.
std::string utf8Ancestor(const std::string& path);

}  // namespace trimlet

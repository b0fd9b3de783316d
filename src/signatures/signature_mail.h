// Sending a signature by e-mail: the user's mail program opens a message to the signature
// collection whose body is the type's serialized record in base64.
#pragma once

#include <optional>
#include <string>

#include "signatures/file_type.h"

// Where users send the signatures they made.
constexpr char kSignatureCollectionAddress[] = "signatures@corvane.com";

// "mailto:<address>?subject=newsign&body=<base64 lines>", with the body's line breaks and the
// base64 characters that have a meaning in a URL ('+', '/', '=') percent-encoded so that mail
// programs hand the text over unchanged. Nothing when the record exceeds 16384 bytes or its
// base64 text 16384 characters.
std::optional<std::string> SignatureMailUrl(const FileType& type);

// Opens the mail program with that message; false (and nothing shown) when the type does not
// fit or nothing could open the URL.
bool SendSignature(const FileType& type);

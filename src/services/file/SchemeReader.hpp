#pragma once
// Reads a scheme's JSON text straight into its records, event by event
// (nlohmann's SAX interface), without building the document first: the
// records are the only copy of the names and hashes, so a scheme costs
// little more than its own size in memory (a document of it costs some forty
// times that) and is read in one pass.
//
// The rules are those of SchemeFormat::decode: the root is an object whose
// "version" and "header" are texts and whose "files" is a list of objects,
// each with the texts "file", "directory" and "hash"; other members, of any
// kind, are passed over; of a member given twice the last one counts, as in
// a JSON document.
//
// Thread: one reader serves one parse on one thread. Nothing here throws.
#include "services/file/SchemeFormat.hpp"

#include <optional>
#include <string_view>

namespace hexora::SchemeReader {

/// The scheme in `bytes`, or nullopt when they are not valid JSON or not a scheme.
std::optional<SchemeFormat> read(std::string_view bytes);

}  // namespace hexora::SchemeReader

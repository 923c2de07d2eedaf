// Writes a C++ source that carries files' bytes as arrays:
//
//   quorvelv_embed_bytes OUTPUT.cpp NAME FILE...
//
// defines, in namespace quorvelv::embedded, `NAME_data[i]` and `NAME_size[i]` for the i-th file and
// `NAME_count`. Files with identical content share one array.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& message) {
    std::cerr << "embed_bytes: " << message << "\n";
    std::exit(1);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot read " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_array(std::ostream& out, std::size_t index, const std::string& bytes) {
    static const char* const hex = "0123456789abcdef";
    out << "alignas(16) const unsigned char blob_" << index << "[] = {";
    if (bytes.empty()) out << "0";
    std::string line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % 24 == 0) {
            out << line << "\n";
            line.clear();
        }
        const auto byte = static_cast<unsigned char>(bytes[i]);
        line += "0x";
        line += hex[byte >> 4];
        line += hex[byte & 0xF];
        line += ',';
    }
    out << line << "\n};\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) fail("usage: quorvelv_embed_bytes OUTPUT.cpp NAME FILE...");
    const std::string output = argv[1];
    const std::string name = argv[2];

    std::vector<std::string> blobs;
    std::map<std::string, std::size_t> blob_of_content;
    std::vector<std::size_t> blob_of_file;
    for (int i = 3; i < argc; ++i) {
        auto bytes = read_file(argv[i]);
        const auto [entry, added] = blob_of_content.try_emplace(bytes, blobs.size());
        if (added) blobs.push_back(std::move(bytes));
        blob_of_file.push_back(entry->second);
    }

    std::ostringstream out;
    out << "// Generated at build time by quorvelv_embed_bytes; not to be edited.\n"
        << "#include <cstddef>\n\nnamespace quorvelv::embedded {\nnamespace {\n\n";
    for (std::size_t i = 0; i < blobs.size(); ++i) write_array(out, i, blobs[i]);
    out << "\n}  // namespace\n\n"
        << "extern const std::size_t " << name << "_count = " << blob_of_file.size() << ";\n"
        << "extern const unsigned char* const " << name << "_data[] = {";
    for (const auto blob : blob_of_file) out << "blob_" << blob << ", ";
    out << "};\nextern const std::size_t " << name << "_size[] = {";
    for (const auto blob : blob_of_file) out << blobs[blob].size() << ", ";
    out << "};\n\n}  // namespace quorvelv::embedded\n";

    // Left alone when unchanged, so that an unchanged input compiles nothing again.
    const auto text = out.str();
    {
        std::ifstream existing(output, std::ios::binary);
        if (existing) {
            std::ostringstream old;
            old << existing.rdbuf();
            if (old.str() == text) return 0;
        }
    }
    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file << text;
    if (!file.flush()) fail("cannot write " + output);
    return 0;
}

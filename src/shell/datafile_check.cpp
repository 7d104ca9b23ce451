// A bounded walk over Allegro's datafile format.
//
// Layout, all numbers big-endian 32-bit unless said otherwise:
//   body    "ALL." count object*count
//   object  property* type chunk
//   property "prop" id(4 bytes) length bytes*length
//   chunk   stored-length data-length bytes*data-length; a negative
//           data-length means compressed, which the game never packs
//   "BMP "  bits(16) width(16) height(16) pixels, 3 bytes each at 24 bits
// On its own the file starts with "slh." (uncompressed); exedat appends the
// body as one chunk followed by "slh+" and the whole block's length.
#include "datafile_check.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t tag(const char (&text)[5])
{
    return static_cast<uint32_t>(static_cast<unsigned char>(text[0])) << 24
           | static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 16
           | static_cast<uint32_t>(static_cast<unsigned char>(text[2])) << 8
           | static_cast<uint32_t>(static_cast<unsigned char>(text[3]));
}

constexpr uint32_t PLAIN_FILE = tag("slh.");
constexpr uint32_t ATTACHED = tag("slh+");
constexpr uint32_t BODY = tag("ALL.");
constexpr uint32_t PROPERTY = tag("prop");
constexpr uint32_t TYPE_BITMAP = tag("BMP ");
constexpr uint32_t TYPE_FONT = tag("ALFO");
constexpr uint32_t TYPE_INFO = tag("info");

constexpr int BITMAP_BITS = 24;             // dat -bpp 24, as the build packs them
constexpr long BITMAP_HEADER = 6;           // bits, width, height
constexpr long CHUNK_HEADER = 8;            // the two lengths
constexpr long TRAILER = 8;                 // "slh+" and the block's length
// Far above the game's own data (about a megabyte); a larger datafile is
// not read into memory at all.
constexpr long MAX_BYTES = 64L << 20;

uint32_t u32_at(const unsigned char *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// A cursor that never steps outside its bytes.
class Reader {
public:
    Reader(const unsigned char *bytes, long size) : at_(bytes), left_(size) {}

    bool skip(long n, const unsigned char **start = nullptr)
    {
        if (n < 0 || n > left_)
            return false;
        if (start)
            *start = at_;
        at_ += n;
        left_ -= n;
        return true;
    }
    bool u32(uint32_t *value)
    {
        const unsigned char *p;
        if (!skip(4, &p))
            return false;
        *value = u32_at(p);
        return true;
    }
    // A length or count: Allegro reads them as signed, so the top bit set
    // means a negative size to it.
    bool length(long *value)
    {
        uint32_t raw;
        if (!u32(&raw) || raw > INT32_MAX)
            return false;
        *value = static_cast<long>(raw);
        return true;
    }
    bool u16(long *value)
    {
        const unsigned char *p;
        if (!skip(2, &p))
            return false;
        *value = long(p[0]) << 8 | p[1];
        return true;
    }
    bool at_end() const { return left_ == 0; }

private:
    const unsigned char *at_;
    long left_;
};

// Property ids are four printable characters ("NAME", "DATE", "XPOS");
// a stray 0xFFFFFFFF would end Allegro's property list early.
bool printable_id(uint32_t id)
{
    for (int shift = 0; shift < 32; shift += 8) {
        unsigned c = (id >> shift) & 0xFF;
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

bool check_bitmap(const unsigned char *data, long size)
{
    Reader r(data, size);
    long bits, width, height;
    if (!r.u16(&bits) || !r.u16(&width) || !r.u16(&height))
        return false;
    // 64 bits: 65535 x 65535 x 3 overflows a 32-bit long (Windows).
    return bits == BITMAP_BITS && width > 0 && height > 0
           && size - BITMAP_HEADER == static_cast<long long>(width) * height * (BITMAP_BITS / 8);
}

bool check_object(Reader &r)
{
    uint32_t type;
    for (;;) {
        if (!r.u32(&type))
            return false;
        if (type != PROPERTY)
            break;
        uint32_t id;
        long length;
        if (!r.u32(&id) || !printable_id(id) || !r.length(&length) || !r.skip(length))
            return false;
    }
    long stored, size;
    const unsigned char *data;
    if (!r.length(&stored) || !r.length(&size) || stored != size || !r.skip(size, &data))
        return false;
    switch (type) {
    case TYPE_BITMAP: return check_bitmap(data, size);
    case TYPE_FONT: return size > 0;
    case TYPE_INFO: return true;
    default: return false;  // nested datafiles, Allegro's own fonts, samples...
    }
}

// The body from "ALL." on, to its last byte: the object count, or -1.
int check_body(const unsigned char *bytes, long size)
{
    Reader r(bytes, size);
    uint32_t magic;
    long count;
    if (!r.u32(&magic) || magic != BODY || !r.length(&count))
        return -1;
    // Each object takes at least 12 bytes, so a huge count fails at the end
    // of the bytes, not after a huge number of steps.
    for (long i = 0; i < count; i++)
        if (!check_object(r))
            return -1;
    return r.at_end() ? static_cast<int>(count) : -1;
}

// Reads size bytes at offset; false on any short read.
bool read_at(std::FILE *file, long offset, long size, std::vector<unsigned char> *out)
{
    out->resize(static_cast<size_t>(size));
    return std::fseek(file, offset, SEEK_SET) == 0
           && std::fread(out->data(), 1, out->size(), file) == out->size();
}

// The file's length, or -1 when it cannot be measured.
long file_size(std::FILE *file)
{
    return std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
}

int check_plain(std::FILE *file)
{
    long size = file_size(file);
    std::vector<unsigned char> bytes;
    if (size < 4 || size > MAX_BYTES || !read_at(file, 0, size, &bytes)
        || u32_at(bytes.data()) != PLAIN_FILE)
        return -1;
    return check_body(bytes.data() + 4, size - 4);
}

int check_attached(std::FILE *file)
{
    long size = file_size(file);
    std::vector<unsigned char> tail, block;
    if (size < TRAILER || !read_at(file, size - TRAILER, TRAILER, &tail)
        || u32_at(tail.data()) != ATTACHED)
        return -1;
    uint32_t block_size = u32_at(tail.data() + 4);
    if (block_size < CHUNK_HEADER + TRAILER || block_size > static_cast<uint32_t>(size)
        || block_size > static_cast<uint32_t>(MAX_BYTES)
        || !read_at(file, size - static_cast<long>(block_size), block_size - TRAILER, &block))
        return -1;
    long body = static_cast<long>(block_size) - CHUNK_HEADER - TRAILER;
    Reader r(block.data(), CHUNK_HEADER);
    long stored, data;
    if (!r.length(&stored) || !r.length(&data) || stored != body || data != body)
        return -1;
    return check_body(block.data() + CHUNK_HEADER, body);
}

int with_file(const char *path, int (*check)(std::FILE *))
{
    std::FILE *file = std::fopen(path, "rb");
    if (!file)
        return -1;
    int result = check(file);
    std::fclose(file);
    return result;
}

}  // namespace

int check_datafile(const char *path) { return with_file(path, check_plain); }

int check_attached_datafile(const char *program) { return with_file(program, check_attached); }

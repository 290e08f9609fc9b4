#include "tests/fuzz/targets/fuzz_seeds.h"

#include "container/container.h"
#include "tests/fuzz/targets/fuzz_bodies.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/memory_file_system.h"

namespace {

using Bytes = std::vector<uint8_t>;

const size_t PLAIN_SIZES[] = {0, 1, 7, 8, 15, 16, 17, 100, 16383, 16384, 16400};
const char ENCRYPT_MODES[] = {'e', 'E', 'A'};

Bytes plain_of(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 131 + 7);
    return bytes;
}

std::vector<Bytes> containers() {
    std::vector<Bytes> out;
    qxv_test::MemoryFileSystem files;
    qxv_test::ScopedFileSystem scope(files);
    for (char mode : ENCRYPT_MODES) {
        for (size_t size : PLAIN_SIZES) {
            files.clear();
            files.put("plain", plain_of(size));
            if (container_crypt_file("plain", nullptr, FUZZ_PASSWORD, mode) == CRYPT_OK)
                out.push_back(*files.get("plain"));
        }
    }
    return out;
}

// Damaged forms of one container: cut short, a byte flipped in the trailer and in the data.
void add_damaged(std::vector<Bytes> &out, const Bytes &good) {
    if (good.size() < 20) return;
    out.emplace_back(good.begin(), good.end() - 1);
    out.emplace_back(good.begin() + 1, good.end());
    for (size_t back : {5, 12, 30, 60}) {
        if (back > good.size()) continue;
        Bytes flipped = good;
        flipped[flipped.size() - back] ^= 0x40;
        out.push_back(flipped);
    }
    Bytes data_flip = good;
    data_flip[0] ^= 1;
    out.push_back(data_flip);
}

std::vector<Bytes> with_damage(const std::vector<Bytes> &good) {
    std::vector<Bytes> out = good;
    for (const Bytes &g : good)
        add_damaged(out, g);
    return out;
}

// A file and its journal as a process killed before each write of an encryption leaves them,
// as fuzz_journal takes them: the file's length, the file, the journal.
std::vector<Bytes> interrupted_encryptions() {
    std::vector<Bytes> out;
    qxv_test::MemoryFileSystem files;
    qxv_test::FaultFileSystem faults(files);
    qxv_test::ScopedFileSystem scope(faults);
    for (size_t size : {size_t{0}, size_t{100}, size_t{16384}, size_t{20000}}) {
        for (int nth = 2;; ++nth) {
            files.clear();
            files.put("plain", plain_of(size));
            Bytes seed;
            faults.set_hook([&](qxv_test::Op op, int n) {
                const Bytes *file = files.get("plain");
                const Bytes *journal = files.get("plain.qxvj");
                if (op != qxv_test::Op::Write || n != nth || journal == nullptr) return;
                const auto length = static_cast<uint32_t>(file->size());
                seed = {uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16),
                        uint8_t(length >> 24)};
                seed.insert(seed.end(), file->begin(), file->end());
                seed.insert(seed.end(), journal->begin(), journal->end());
            });
            faults.arm(qxv_test::Op::Write, 0); // counts from zero, fails nothing
            container_crypt_file("plain", nullptr, FUZZ_PASSWORD, 'A');
            faults.set_hook(nullptr);
            if (seed.empty()) break;
            out.push_back(seed);
        }
    }
    return out;
}

} // namespace

std::vector<Bytes> fuzz_seeds_for(const std::string &target) {
    const std::vector<Bytes> good = containers();
    if (target == "engine_decrypt" || target == "probe") {
        std::vector<Bytes> out = with_damage(good);
        if (target == "probe") out.push_back(Bytes{0x14, 3, 'Q', 'X', 'V', 0x14, 3, 'A', 'E', 'S'});
        return out;
    }
    if (target == "stub") {
        // A stand-in stub in front of each container, as in a self-decrypting file.
        const Bytes stub(300, 0x90);
        std::vector<Bytes> out;
        for (const Bytes &g : with_damage(good)) {
            Bytes sfx = stub;
            sfx.insert(sfx.end(), g.begin(), g.end());
            out.push_back(sfx);
            out.push_back(g);
        }
        return out;
    }
    if (target == "tlv") {
        // The trailers, behind each plan byte that reads them as fields.
        std::vector<Bytes> out;
        for (const Bytes &g : good) {
            const size_t tail = std::min<size_t>(g.size(), 80);
            for (uint8_t plan : {0x00, 0x21, 0x8a, 0xe4, 0x55}) {
                Bytes seed{plan};
                seed.insert(seed.end(), g.end() - tail, g.end());
                out.push_back(seed);
            }
        }
        out.push_back({0x03, 0x84, 0xff, 0xff, 0xff, 0xff});
        out.push_back({0x02, 0x02, 0x85, 0, 0, 0, 0, 1});
        return out;
    }
    if (target == "journal") return interrupted_encryptions();
    if (target == "settings") {
        const char *texts[] = {
            "; settings\n\"KeepEncrypted\"=dword:00000001\n\"MakeEXE\"=dword:00000000\n",
            "\"HashKey\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14\n",
            "\"Default\"=\"text\"\n\"AES\"=hex(0):\n\"Odd\"=what:ever\n",
            "\"A\"=hex:\n\"B\"=dword:ffffffff\n\"C\"=\"with \\\"quote\\\"\"\n",
        };
        std::vector<Bytes> out;
        for (const char *t : texts)
            out.emplace_back(t, t + std::char_traits<char>::length(t));
        return out;
    }
    return {};
}

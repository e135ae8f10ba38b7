// lintora volume FILE [--sector-size 512|4096] [--sectors N] [--label TEXT] [--io-chunk BYTES]
// Formats FILE as one NTFS volume covering its first N sectors: a counting pass, then the
// writing pass through the sector writer, as the disk preparation job does.
#include <cstdio>
#include <string>

#include "ntfs/format_volume.h"
#include "platform/raw_disk.h"
#include "platform/utf.h"
#include "prep/sector_writer.h"
#include "tools/arguments.h"
#include "tools/commands.h"
#include "tools/progress_bar.h"

namespace lintora {

namespace {

constexpr const char* kUsage =
    "usage: lintora volume FILE [--sector-size 512|4096] [--sectors N] [--label TEXT] "
    "[--io-chunk BYTES]\n";

int usage_error(const std::string& message) {
    std::fprintf(stderr, "lintora volume: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int format_failed(ntfs_status status) {
    std::fprintf(stderr, "lintora volume: formatting failed with code %u: %s\n", status,
                 ntfs_status_text(status));
    return 1;
}

}  // namespace

int run_volume_command(const std::vector<std::string>& words) {
    const ParsedArguments args =
        parse_arguments(words, {"--sector-size", "--sectors", "--label", "--io-chunk"}, {});
    const TargetArguments target = parse_target(args);
    if (!target.error.empty()) {
        return usage_error(target.error);
    }
    const std::string& path = target.path;
    const uint64_t sector_size = target.sector_size;
    uint64_t io_chunk = 65536;
    if (const std::string* text = args.option("--io-chunk")) {
        const auto value = parse_count(*text);
        if (!value || *value == 0 || *value % sector_size != 0 || *value > 0x80000000ull) {
            return usage_error(
                "the I/O chunk must be a whole number of sectors up to 2 GiB, "
                "not '" +
                *text + "'");
        }
        io_chunk = *value;
    }
    std::u16string label = u"MAROVAN EXT";
    if (const std::string* text = args.option("--label")) {
        label = utf8_to_utf16(*text);
        if (label.size() > 255) {
            return usage_error("the label is longer than 255 UTF-16 characters");
        }
    }

    const std::u16string wide_path = utf8_to_utf16(path);
    const uint64_t size = disk_size_bytes(wide_path.c_str());
    if (size == 0) {
        return usage_error("cannot open '" + path + "', or it is empty");
    }
    uint64_t sectors = size / sector_size;
    if (const std::string* text = args.option("--sectors")) {
        const auto value = parse_count(*text);
        if (!value || *value == 0) {
            return usage_error("the sector count must be a positive whole number, not '" + *text +
                               "'");
        }
        if (*value > sectors) {
            return usage_error("'" + path + "' holds only " + std::to_string(sectors) +
                               " sectors, fewer than the " + *text + " asked for");
        }
        sectors = *value;
    }

    const CountedName label_name{static_cast<uint16_t>(2 * label.size()),
                                 static_cast<uint16_t>(2 * label.size()), label.c_str()};
    ProgressBar bar(stderr);
    SectorWriter writer;
    writer.unit_size = static_cast<uint32_t>(io_chunk);
    writer.progress = &ProgressBar::report;
    writer.phase = kPhaseFileSystem;
    writer.owner = &bar;

    NtfsFormatParams params;
    params.write_user = &writer;
    params.write = &write_sectors;
    params.volume_label = &label_name;
    params.io_chunk_size = static_cast<uint32_t>(io_chunk);
    params.bytes_per_sector = static_cast<uint16_t>(sector_size);
    params.cluster_size = 4096;
    params.first_sector = 0;
    params.sector_count = sectors;

    // The counting pass writes nothing: a volume too small for the layout is refused here.
    ntfs_status status = format_ntfs_volume(&params);
    if (status == NTFS_NO_SPACE) {
        std::fprintf(stderr,
                     "lintora volume: %llu sectors of %llu bytes are too small for an NTFS volume "
                     "with its $MFT at 3 GiB\n",
                     static_cast<unsigned long long>(sectors),
                     static_cast<unsigned long long>(sector_size));
        return 1;
    }
    if (status != NTFS_OK) {
        return format_failed(status);
    }

    std::unique_ptr<DiskSystem> disks = make_system_disks(static_cast<uint32_t>(sector_size));
    std::unique_ptr<DiskDevice> device = disks->open_disk(wide_path.c_str());
    if (!device) {
        std::fprintf(stderr, "lintora volume: cannot open '%s' for writing (in use?)\n",
                     path.c_str());
        return 1;
    }
    writer.units_expected = writer.units_done;
    writer.units_done = 0;
    writer.device = device.get();
    status = format_ntfs_volume(&params);
    bar.finish();
    if (status != NTFS_OK) {
        return format_failed(status);
    }
    if (!device->flush()) {
        std::fprintf(stderr, "lintora volume: flushing '%s' failed\n", path.c_str());
        return 1;
    }
    std::printf("formatted %s: NTFS, %llu sectors of %llu bytes, label \"%s\"\n", path.c_str(),
                static_cast<unsigned long long>(sectors),
                static_cast<unsigned long long>(sector_size), utf16_to_utf8(label.c_str()).c_str());
    return 0;
}

}  // namespace lintora

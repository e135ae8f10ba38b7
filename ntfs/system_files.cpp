#include "ntfs/system_files.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/le.h"
#include "ntfs/boot_sector.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/directory_index.h"
#include "ntfs/file_record.h"
#include "ntfs/record_layout.h"
#include "ntfs/run_writer.h"
#include "ntfs/security_descriptors.h"
#include "ntfs/typed_attributes.h"
#include "ntfs/upcase_table.h"

namespace lintora {

namespace {

constexpr uint32_t kRootRecord = 5;
constexpr uint32_t kFirstUserRecord = 16;

class SystemFileBuilder {
  public:
    explicit SystemFileBuilder(NtfsFormatContext& ctx) : ctx_(ctx) {}

    ntfs_status build() {
        NTFS_RETURN_IF_FAILED(create_records());
        NTFS_RETURN_IF_FAILED(build_root());
        NTFS_RETURN_IF_FAILED(build_mft());
        NTFS_RETURN_IF_FAILED(build_mftmirr());
        NTFS_RETURN_IF_FAILED(build_logfile());
        NTFS_RETURN_IF_FAILED(build_attrdef());
        NTFS_RETURN_IF_FAILED(build_bitmap());
        NTFS_RETURN_IF_FAILED(build_boot());
        NTFS_RETURN_IF_FAILED(build_volume());
        NTFS_RETURN_IF_FAILED(build_badclus());
        NTFS_RETURN_IF_FAILED(build_quota());
        NTFS_RETURN_IF_FAILED(build_upcase());
        for (uint32_t n = 11; n < kFirstUserRecord; ++n) {
            NTFS_RETURN_IF_FAILED(add_empty_data(record(n), ctx_));
            NTFS_RETURN_IF_FAILED(add_descriptor(n));
        }
        return NTFS_OK;
    }

  private:
    FileRecordBuffer record(uint32_t n) {
        return FileRecordBuffer{ctx_.mft_buffer.get() + static_cast<size_t>(n) * ctx_.record_size};
    }

    uint64_t cluster_bytes(uint64_t size) const {
        return div_round_up(size, ctx_.cluster_size) * ctx_.cluster_size;
    }

    ntfs_status create_records() {
        const uint32_t count = ctx_.mft_size / ctx_.record_size;
        for (uint32_t n = 0; n < count; ++n) {
            uint8_t* r = record(n).bytes;
            std::memcpy(r + kRecordMagic, "FILE", 4);
            store_u16(r + kRecordUsaOffset, kRecordUsaStart);
            if (ctx_.record_size < 512) {
                return NTFS_INVALID;
            }
            init_file_record(ctx_, record(n), n);
            store_u16(r + kRecordSequence, static_cast<uint16_t>(n == 0 ? 1 : n));
        }
        for (uint32_t n = 0; n < kFirstUserRecord && n < count; ++n) {
            uint8_t* r = record(n).bytes;
            store_u16(r + kRecordFlags, kRecordInUse);
            store_u32(r + kRecordNumber, n);
            bitmap_set_bit(ctx_.mft_bitmap.get(), n);
            NTFS_RETURN_IF_FAILED(add_standard_information(ctx_, record(n)));
        }
        return NTFS_OK;
    }

    ntfs_status add_descriptor(uint32_t n) {
        uint32_t length = 0;
        ByteBuffer sd =
            n == kRootRecord ? build_root_sd(&length) : build_system_file_sd(n, &length);
        if (!sd) {
            return NTFS_NO_MEMORY;
        }
        return add_security_descriptor(ctx_, record(n), sd.get(), length);
    }

    // Gives record n its $FILE_NAME and indexes it in the root, in the block or in the record.
    ntfs_status link(uint32_t n, const char16_t* name, uint64_t allocated, uint64_t data) {
        const CountedName counted = counted_name(name);
        const uint16_t sequence = load_u16(record(n).bytes + kRecordSequence);
        const uint64_t reference = make_file_reference(n, sequence);
        if (ctx_.root_index_block) {
            return link_in_index_block(&counted, ctx_, record(n),
                                       IndexBlockBuffer{ctx_.root_index_block.get()}, reference,
                                       allocated, data);
        }
        return link_in_root_index(&counted, ctx_, record(kRootRecord), record(n), reference,
                                  allocated, data);
    }

    ntfs_status build_root() {
        FileRecordBuffer root = record(kRootRecord);
        store_u16(root.bytes + kRecordFlags, kRecordInUse | kRecordIsDirectory);
        store_u16(root.bytes + kRecordLinkCount, 1);
        const char16_t dot[] = u".";
        const CountedName dot_name{2, 2, dot};
        NTFS_RETURN_IF_FAILED(
            add_file_name(ctx_, root, 0, 0,
                          kFileAttributesDirectoryIndex | kFileAttributesHiddenSystem, &dot_name));
        NTFS_RETURN_IF_FAILED(add_descriptor(kRootRecord));
        NTFS_RETURN_IF_FAILED(add_index_root(ctx_, root, ctx_.index_block_size, index_name_i30()));

        const uint8_t* value = nullptr;
        uint32_t value_length = 0;
        if (ctx_.bytes_per_sector < 4096) {
            NTFS_RETURN_IF_FAILED(convert_to_large_index(
                ctx_, index_name_i30(), root, &ctx_.root_index_run, &ctx_.root_index_block));
            NTFS_RETURN_IF_FAILED(find_file_name_value(root, &value, &value_length));
            return insert_block_entry(IndexBlockBuffer{ctx_.root_index_block.get()}, ctx_,
                                      kRootDirectoryReference, value, value_length);
        }
        NTFS_RETURN_IF_FAILED(find_file_name_value(root, &value, &value_length));
        ByteBuffer entry;
        uint32_t entry_length = 0;
        NTFS_RETURN_IF_FAILED(
            make_index_entry(kRootDirectoryReference, value, value_length, &entry, &entry_length));
        return insert_root_entry(ctx_, entry.get(), entry_length, root, index_name_i30());
    }

    ntfs_status build_mft() {
        NTFS_RETURN_IF_FAILED(add_data_attribute(ctx_, record(0), ctx_.mft_run,
                                                 ctx_.mft_buffer.get(), ctx_.mft_size, nullptr));
        NTFS_RETURN_IF_FAILED(link(0, u"$MFT", ctx_.mft_size, ctx_.mft_size));
        NTFS_RETURN_IF_FAILED(add_descriptor(0));
        return add_nonresident_attribute(ctx_, record(0), kAttrBitmap, ctx_.mft_bitmap_run,
                                         ctx_.mft_bitmap.get(), ctx_.mft_bitmap_size, nullptr);
    }

    ntfs_status build_mftmirr() {
        const uint64_t size = ctx_.mftmirr_run.length * ctx_.cluster_size;
        NTFS_RETURN_IF_FAILED(add_data_attribute(ctx_, record(1), ctx_.mftmirr_run,
                                                 ctx_.mft_buffer.get(), size, nullptr));
        NTFS_RETURN_IF_FAILED(link(1, u"$MFTMirr", size, size));
        return add_descriptor(1);
    }

    ntfs_status build_logfile() {
        // An empty log: every byte 0xFF, no restart area.
        NTFS_RETURN_IF_FAILED(fill_run(ctx_, ctx_.logfile_run, 0xFF, ctx_.logfile_size));
        NTFS_RETURN_IF_FAILED(add_data_attribute(ctx_, record(2), ctx_.logfile_run, nullptr,
                                                 ctx_.logfile_size, nullptr));
        NTFS_RETURN_IF_FAILED(link(2, u"$LogFile", ctx_.logfile_size, ctx_.logfile_size));
        return add_descriptor(2);
    }

    ntfs_status build_attrdef() {
        NTFS_RETURN_IF_FAILED(add_data_attribute(ctx_, record(4), ctx_.attrdef_run,
                                                 ctx_.attrdef.get(), ctx_.attrdef_size, nullptr));
        NTFS_RETURN_IF_FAILED(
            link(4, u"$AttrDef", cluster_bytes(ctx_.attrdef_size), ctx_.attrdef_size));
        return add_descriptor(4);
    }

    ntfs_status build_bitmap() {
        NTFS_RETURN_IF_FAILED(add_data_attribute(ctx_, record(6), ctx_.bitmap_run, nullptr,
                                                 ctx_.cluster_bitmap_size, nullptr));
        NTFS_RETURN_IF_FAILED(
            link(6, u"$Bitmap", cluster_bytes(ctx_.cluster_bitmap_size), ctx_.cluster_bitmap_size));
        return add_descriptor(6);
    }

    ntfs_status build_boot() {
        ByteBuffer image = allocate_zeroed(kBootImageBytes);
        if (!image) {
            return NTFS_NO_MEMORY;
        }
        build_boot_image(ctx_, make_volume_serial(), image.get());
        NTFS_RETURN_IF_FAILED(add_data_attribute(ctx_, record(7), ctx_.boot_run, image.get(),
                                                 kBootImageBytes, nullptr));
        NTFS_RETURN_IF_FAILED(link(7, u"$Boot", cluster_bytes(kBootImageBytes), kBootImageBytes));
        NTFS_RETURN_IF_FAILED(add_descriptor(7));
        return write_backup_boot_sector(ctx_, image.get());
    }

    ntfs_status build_volume() {
        NTFS_RETURN_IF_FAILED(link(3, u"$Volume", 0, 0));
        NTFS_RETURN_IF_FAILED(add_descriptor(3));
        NTFS_RETURN_IF_FAILED(add_empty_data(record(3), ctx_));
        NTFS_RETURN_IF_FAILED(add_volume_name(ctx_.volume_label, record(3), ctx_));
        return add_volume_information(ctx_.volume_version_major, ctx_.volume_version_minor,
                                      record(3), ctx_);
    }

    // $Bad spans the whole volume: sparse but for the bad clusters, each mapped at its own LCN.
    ntfs_status add_bad_cluster_map(const CountedName* bad_name) {
        const uint64_t volume_bytes = ctx_.total_clusters * ctx_.cluster_size;
        if (ctx_.bad_cluster_count == 0) {
            return add_data_attribute(ctx_, record(8), ctx_.bad_run, nullptr, volume_bytes,
                                      bad_name);
        }
        std::vector<ClusterRun> runs;
        uint64_t next = 0;  // the first cluster not yet mapped
        for (uint32_t i = 0; i < ctx_.bad_cluster_count; ++i) {
            const uint64_t lcn = ctx_.bad_clusters[i];
            if (lcn == next && !runs.empty() && runs.back().lcn != kNoClusters) {
                ++runs.back().length;  // a neighbour of the previous bad cluster
            } else {
                if (lcn > next) {
                    runs.push_back({kNoClusters, lcn - next});
                }
                runs.push_back({lcn, 1});
            }
            next = lcn + 1;
        }
        if (next < ctx_.total_clusters) {
            runs.push_back({kNoClusters, ctx_.total_clusters - next});
        }
        const ntfs_status added =
            add_run_list_attribute(ctx_, record(8), kAttrData, runs.data(),
                                   static_cast<uint32_t>(runs.size()), volume_bytes, bad_name);
        return added == NTFS_NO_SPACE ? NTFS_TOO_MANY_BAD_CLUSTERS : added;
    }

    ntfs_status build_badclus() {
        const char16_t bad[] = u"$Bad";
        const CountedName bad_name{8, 8, bad};
        // With bad clusters the run list goes in last, so that it alone can run out of room.
        const bool any_bad = ctx_.bad_cluster_count != 0;
        if (!any_bad) {
            NTFS_RETURN_IF_FAILED(add_bad_cluster_map(&bad_name));
        }
        NTFS_RETURN_IF_FAILED(add_empty_data(record(8), ctx_));
        NTFS_RETURN_IF_FAILED(link(8, u"$BadClus", 0, 0));
        NTFS_RETURN_IF_FAILED(add_descriptor(8));
        return any_bad ? add_bad_cluster_map(&bad_name) : NTFS_OK;
    }

    ntfs_status build_quota() {
        NTFS_RETURN_IF_FAILED(add_empty_data(record(9), ctx_));
        NTFS_RETURN_IF_FAILED(link(9, u"$Quota", 0, 0));
        return add_descriptor(9);
    }

    ntfs_status build_upcase() {
        NTFS_RETURN_IF_FAILED(add_data_attribute(ctx_, record(10), ctx_.upcase_run,
                                                 ctx_.upcase.get(), kUpcaseBytes, nullptr));
        NTFS_RETURN_IF_FAILED(link(10, u"$UpCase", cluster_bytes(kUpcaseBytes), kUpcaseBytes));
        return add_descriptor(10);
    }

    NtfsFormatContext& ctx_;
};

}  // namespace

ntfs_status build_system_files(NtfsFormatContext& ctx) {
    return SystemFileBuilder(ctx).build();
}

}  // namespace lintora

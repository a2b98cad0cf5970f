// The GRCh37 accession table: chromosome names "1".."22", "X", "Y" (numeric-key form)
// or "chr1".."chrY" ("chr"-key form) to their RefSeq accessions "NC_000001.10"..
// "NC_000024.9". The accessions sort byte-wise in chromosome order.
#pragma once

#include <array>
#include <string_view>

namespace wes {

enum class ChrKeyForm { numeric, chr_prefixed };

struct AccessionRow {
    std::string_view numeric_key;
    std::string_view chr_key;
    std::string_view accession;
};

extern const std::array<AccessionRow, 24> accession_table;

// The accession for name in the given key form, or an empty view when no row's key
// equals name exactly (case included).
std::string_view accession_for(std::string_view name, ChrKeyForm form);

// Whether name is one of the accessions.
bool is_accession(std::string_view name);

}  // namespace wes

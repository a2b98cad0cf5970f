#include "chr_trans.hpp"

namespace wes {

const std::array<AccessionRow, 24> accession_table = {{
    {"1", "chr1", "NC_000001.10"},   {"2", "chr2", "NC_000002.11"},   {"3", "chr3", "NC_000003.11"},
    {"4", "chr4", "NC_000004.11"},   {"5", "chr5", "NC_000005.9"},    {"6", "chr6", "NC_000006.11"},
    {"7", "chr7", "NC_000007.13"},   {"8", "chr8", "NC_000008.10"},   {"9", "chr9", "NC_000009.11"},
    {"10", "chr10", "NC_000010.10"}, {"11", "chr11", "NC_000011.9"},  {"12", "chr12", "NC_000012.11"},
    {"13", "chr13", "NC_000013.10"}, {"14", "chr14", "NC_000014.8"},  {"15", "chr15", "NC_000015.9"},
    {"16", "chr16", "NC_000016.9"},  {"17", "chr17", "NC_000017.10"}, {"18", "chr18", "NC_000018.9"},
    {"19", "chr19", "NC_000019.9"},  {"20", "chr20", "NC_000020.10"}, {"21", "chr21", "NC_000021.8"},
    {"22", "chr22", "NC_000022.10"}, {"X", "chrX", "NC_000023.10"},   {"Y", "chrY", "NC_000024.9"},
}};

std::string_view accession_for(std::string_view name, ChrKeyForm form) {
    for (const AccessionRow& row : accession_table) {
        std::string_view key = form == ChrKeyForm::numeric ? row.numeric_key : row.chr_key;
        if (key == name) return row.accession;
    }
    return {};
}

bool is_accession(std::string_view name) {
    for (const AccessionRow& row : accession_table)
        if (row.accession == name) return true;
    return false;
}

}  // namespace wes

// Sorted inputs for one annotator's merge, with the answer of a plain lookup for each
// row: the value of the first database record with the row's key. Shared by the merge's
// tests and its fuzz target.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "merge_join.hpp"

namespace merge_model {

// The tool's profile, writing for each row only its answer: the value, or "-".
inline wes::annotate::JoinProfile answers_only(wes::annotate::JoinProfile p) {
    p.hit = [](wes::OutFile& out, const wes::annotate::Row&, std::string_view value) {
        out.write(value);
        out.put('\n');
    };
    p.miss = [](wes::OutFile& out, const wes::annotate::Row&) { out.write("-\n"); };
    return p;
}

struct Inputs {
    std::string rows, db, answers;
};

// choose(n) gives a number below n. Places run from NC_000001.10 2 over three
// chromosomes; each position has up to three records, their alleles drawn from two bases
// so that keys repeat, insertions and deletions written with their shared leading base;
// the rows hold most keys, some twice, and keys the database lacks, in random order
// within each place.
template <class Choose>
Inputs generate(const wes::annotate::JoinProfile& p, Choose&& choose, unsigned positions) {
    static const char* const chroms[] = {"NC_000001.10", "NC_000002.11", "NC_000010.10"};
    auto bases = [&](unsigned n) {
        std::string s;
        while (n--) s += "AC"[choose(2)];
        return s;
    };
    using Key = std::tuple<unsigned, long, std::string, std::string>;  // chromosome, place, ref, alt
    std::map<Key, std::string> first;
    std::vector<Key> keys;
    Inputs in;
    unsigned c = 0, serial = 0;
    long pos = 2;
    for (unsigned i = 0; i < positions; ++i) {
        if (choose(16) == 0 && c < 2) {
            ++c;
            pos = 2;
        }
        pos += choose(3);
        for (unsigned k = choose(4); k > 0; --k) {
            std::string ref = bases(1), alt = bases(1);
            switch (choose(4)) {
            case 1: alt = ref + bases(1 + choose(2)); break;  // an insertion after the shared base
            case 2: ref = alt + bases(1 + choose(2)); break;  // a deletion after the shared base
            case 3: ref = bases(2), alt = bases(2); break;
            }
            std::vector<std::string> cols(p.rec_min_fields, ".");
            cols[0] = chroms[c];
            cols[1] = std::to_string(pos);
            cols[p.rec_ref_col] = ref;
            cols[p.rec_alt_col] = alt;
            std::string value;
            for (unsigned v = 0; v < p.n_value_cols; ++v) {
                cols[p.value_cols[v]] = "v" + std::to_string(serial) + char('a' + v);
                value += (v ? "|" : "") + cols[p.value_cols[v]];
            }
            ++serial;
            for (std::size_t j = 0; j < cols.size(); ++j) in.db += (j ? "\t" : "") + cols[j];
            in.db += '\n';
            long place = pos;
            if (p.normalise_indels && ref.size() == 1 && alt.size() > 1) {
                ref = "-";
                alt.erase(0, 1);
            } else if (p.normalise_indels && ref.size() > 1 && alt.size() == 1) {
                ref.erase(0, 1);
                alt = "-";
                ++place;
            }
            first.emplace(Key{c, place, ref, alt}, value);
            keys.emplace_back(c, place, ref, alt);
        }
    }
    std::vector<Key> rows;
    for (const Key& k : keys)
        for (unsigned n = choose(3); n > 0; --n) rows.push_back(k);
    for (unsigned i = 0; !keys.empty() && i < positions / 2; ++i) {
        Key k = keys[choose(static_cast<unsigned>(keys.size()))];
        std::get<1>(k) += choose(2);
        std::get<3>(k) = "G";
        rows.push_back(k);
    }
    for (std::size_t i = rows.size(); i > 1; --i) std::swap(rows[i - 1], rows[choose(static_cast<unsigned>(i))]);
    std::stable_sort(rows.begin(), rows.end(), [](const Key& a, const Key& b) {
        return std::get<0>(a) != std::get<0>(b) ? std::get<0>(a) < std::get<0>(b) : std::get<1>(a) < std::get<1>(b);
    });
    for (const auto& [chrom, place, ref, alt] : rows) {
        const std::string at = std::to_string(place);
        in.rows += std::string(chroms[chrom]) + "\t" + at + "\t" + at + "\t" + ref + "\t" + alt;
        for (unsigned f = 6; f <= p.row_fields; ++f) in.rows += "\t.";
        in.rows += '\n';
        auto it = first.find(Key{chrom, place, ref, alt});
        in.answers += (it == first.end() ? "-" : it->second) + "\n";
    }
    return in;
}

}  // namespace merge_model

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
    p.hit = [](wes::OutFile& out, const wes::annotate::Row&, std::string_view v) { out.write(std::string(v) + "\n"); };
    p.miss = [](wes::OutFile& out, const wes::annotate::Row&) { out.write("-\n"); };
    return p;
}

struct Inputs {
    std::string rows, db, answers;
};

// choose(n) gives a number below n. Places run from NC_000001.10 2 over three
// chromosomes, step apart at most twice; a position has up to three records, alleles of
// two bases so that keys repeat, indels written with their shared leading base. The rows
// hold most keys, some twice, and keys the database lacks, in random order within each
// place.
template <class Choose>
Inputs generate(const wes::annotate::JoinProfile& p, Choose&& choose, unsigned positions, unsigned step = 1) {
    static const std::string chroms[] = {"NC_000001.10", "NC_000002.11", "NC_000010.10"};
    auto base = [&] { return std::string(1, "AC"[choose(2)]); };
    using Key = std::tuple<unsigned, long, std::string, std::string>;  // chromosome, place, ref, alt
    std::map<Key, std::string> first;
    std::vector<Key> keys, rows;
    Inputs in;
    for (unsigned i = 0, c = 0, serial = 0, pos = 2; i < positions; ++i) {
        if (choose(16) == 0 && c < 2) ++c, pos = 2;
        pos += choose(3) * step;
        for (unsigned k = choose(4); k > 0; --k, ++serial) {
            std::string ref = base(), alt = base(), value;
            switch (choose(4)) {
            case 1: alt = ref + base() + (choose(2) ? base() : ""); break;  // an insertion after the shared base
            case 2: ref = alt + base() + (choose(2) ? base() : ""); break;  // a deletion after the shared base
            case 3: ref += base(), alt += base(); break;
            }
            std::vector<std::string> cols(p.rec_min_fields, ".");
            cols[0] = chroms[c], cols[1] = std::to_string(pos), cols[p.rec_ref_col] = ref, cols[p.rec_alt_col] = alt;
            for (unsigned v = 0; v < p.n_value_cols; ++v)
                value += (v ? "|" : "") + (cols[p.value_cols[v]] = "v" + std::to_string(serial) + char('a' + v));
            for (const std::string& col : cols) in.db += col + (&col == &cols.back() ? "\n" : "\t");
            long place = pos;
            if (p.normalise_indels && ref.size() == 1 && alt.size() > 1)
                ref = "-", alt.erase(0, 1);
            else if (p.normalise_indels && ref.size() > 1 && alt.size() == 1)
                ref.erase(0, 1), alt = "-", ++place;
            first.emplace(Key{c, place, ref, alt}, value);
            keys.emplace_back(c, place, ref, alt);
        }
    }
    for (const Key& k : keys) rows.insert(rows.end(), choose(3), k);
    for (unsigned i = 0; !keys.empty() && i < positions / 2; ++i) {
        const auto& [c, place, ref, alt] = keys[choose(unsigned(keys.size()))];
        rows.emplace_back(c, place + choose(2), ref, "G");
    }
    for (std::size_t i = rows.size(); i > 1; --i) std::swap(rows[i - 1], rows[choose(unsigned(i))]);
    std::stable_sort(rows.begin(), rows.end(), [](const Key& a, const Key& b) {
        return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
    });
    for (const auto& [c, place, ref, alt] : rows) {
        in.rows += chroms[c] + "\t" + std::to_string(place) + "\t" + std::to_string(place) + "\t" + ref + "\t" + alt;
        for (unsigned f = 6; f <= p.row_fields; ++f) in.rows += "\t.";
        auto it = first.find(Key{c, place, ref, alt});
        in.rows += "\n", in.answers += (it == first.end() ? "-" : it->second) + "\n";
    }
    return in;
}

// Each row (and its answer) kept when keep() says so: rows fewer than the records, as an
// exome's are against a genome-wide database.
template <class Keep>
Inputs thin(const Inputs& in, Keep&& keep) {
    Inputs out;
    out.db = in.db;
    for (std::size_t r = 0, a = 0; r < in.rows.size();) {
        const std::size_t r_end = in.rows.find('\n', r) + 1, a_end = in.answers.find('\n', a) + 1;
        if (keep(std::string_view(in.rows).substr(r, r_end - r))) {
            out.rows.append(in.rows, r, r_end - r);
            out.answers.append(in.answers, a, a_end - a);
        }
        r = r_end;
        a = a_end;
    }
    return out;
}

}  // namespace merge_model

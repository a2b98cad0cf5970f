// The four annotators: what each takes from the database and what it writes.
#include "annotator.hpp"
#include "build_config.hpp"
#include "fields.hpp"

namespace wes::annotate {
namespace {

// join_splice_db: the row, then the splice value or "NA".
void splice_hit(OutFile& out, const Row& row, std::string_view value) {
    write_echo(out, row);
    out.put('\t');
    out.write(value);
    out.put('\n');
}
void splice_miss(OutFile& out, const Row& row) {
    write_echo(out, row);
    out.write("\tNA\n");
}

// join_protein_db: the row, then four values joined by bars or the four-part filler.
void protein_miss(OutFile& out, const Row& row) {
    write_echo(out, row);
    out.write("\tNA|NA_NA|NA|NA\n");
}

// join_score_db: a rebuilt six-column row. A row whose key fields cannot all be read
// keeps six columns: its own texts where it has them (the position text as written,
// twice), empty columns where it has none.
void score_line(OutFile& out, const Row& row, std::string_view value) {
    auto field = [&](std::size_t i) { return i < row.n_fields ? row.fields[i] : std::string_view(); };
    out.write(field(0));
    out.put('\t');
    if (row.keyed) {
        out.put_int(row.pos);
        out.put('\t');
        out.put_int(row.pos);
    } else {
        out.write(field(1));
        out.put('\t');
        out.write(field(1));
    }
    out.put('\t');
    out.write(field(3));
    out.put('\t');
    out.write(field(4));
    out.put('\t');
    out.write(value);
    out.put('\n');
}
void score_miss(OutFile& out, const Row& row) { score_line(out, row, "NA"); }

// revise_popfreq: a row the database does not hold is copied as read.
void popfreq_miss(OutFile& out, const Row& row) {
    out.write(row.line);
    out.put('\n');
}
// A hit writes the twenty fields tab-joined with field 19 replaced by the value, and
// keeps any later fields after field 20. A row without twenty fields has no column 19
// to revise and is copied as read.
void popfreq_hit(OutFile& out, const Row& row, std::string_view value) {
    if (row.n_fields < max_row_fields) {
        popfreq_miss(out, row);
        return;
    }
    for (std::size_t i = 0; i < max_row_fields; ++i) {
        if (i) out.put('\t');
        if (i == 1)
            out.put_int(row.pos);
        else if (i == 18)
            out.write(value);
        else
            out.write(row.fields[i]);
    }
    std::string_view extra[1];
    std::string_view rest = row.rest;
    while (split_fields(rest, extra, 1) == 1) {
        out.put('\t');
        out.write(extra[0]);
        rest = std::string_view(extra[0].data() + extra[0].size(),
                                static_cast<std::size_t>(rest.data() + rest.size() - (extra[0].data() + extra[0].size())));
    }
    out.put('\n');
}

}  // namespace

const AnnotatorTool splice_tool = {
    "join_splice_db",
    3,
    {"\t\t1>:\tplease input the result file !", "\t\t2>:\tplease input the splice_predict Database !",
     "\t\t3>:\tplease input the out file !", nullptr},
    "WES_SPLICE_DB",
    build::splice_db,
    false,
    false,
    ResultHeader::echo_with_column,
    "splice_predict",
    // chromosome 1, position 2, ref 3, alt 4, value 8
    {true, 5, 2, 3, {7}, 1, 8, false, splice_hit, splice_miss},
};

const AnnotatorTool protein_tool = {
    "join_protein_db",
    3,
    {"\t\t1>:\tplease input the result file !", "\t\t2>:\tplease input the protein_predict Database !",
     "\t\t3>:\tplease input the out file !", nullptr},
    "WES_PROTEIN_DB",
    build::protein_db,
    false,
    true,
    ResultHeader::echo_with_column,
    "protein_predict",
    // chromosome 1, position 2, ref 4, alt 5, values 6 to 9
    {true, 5, 3, 4, {5, 6, 7, 8}, 4, 9, false, splice_hit, protein_miss},
};

const AnnotatorTool score_tool = {
    "join_score_db",
    4,
    {"\t\t1>:\tplease input the result file !", "\t\t2>:\tplease input the protein_predict Database file !",
     "\t\t3>:\tplease input the protein_predict Database name !", "\t\t4>:\tplease input the out file !"},
    "WES_SCORE_DB",
    build::score_db,
    true,
    true,
    ResultHeader::score_columns,
    nullptr,
    // chromosome 1, position 2, ref 4, alt 5, score 6
    {true, 5, 3, 4, {5}, 1, 6, false, score_line, score_miss},
};

const AnnotatorTool popfreq_tool = {
    "revise_popfreq",
    3,
    {"\t\t1>:\tplease input the result file !", "\t\t2>:\tplease input the popfreq Database !",
     "\t\t3>:\tplease input the out file !", nullptr},
    "WES_POPFREQ_DB",
    build::popfreq_db,
    false,
    true,
    ResultHeader::copy,
    nullptr,
    // chromosome 1, position 2, ref 3, alt 4, values 11 and 14; indels normalised
    {false, 20, 2, 3, {10, 13}, 2, 14, true, popfreq_hit, popfreq_miss},
};

}  // namespace wes::annotate

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
    FieldCursor extra(row.rest);
    for (std::string_view f; extra.next(f);) {
        out.put('\t');
        out.write(f);
    }
    out.put('\n');
}

}  // namespace

const AnnotatorTool splice_tool = {
    .program = "join_splice_db",
    .usage = "\tUsage:\n\t\t%s < > < > < >\n\t\t1>:\tplease input the result file !\n"
             "\t\t2>:\tplease input the splice_predict Database !\n\t\t3>:\tplease input the out file !\n",
    .db_env = "WES_SPLICE_DB",
    .db_compiled = build::splice_db,
    .column = "splice_predict",
    // chromosome 1, position 2, ref 3, alt 4, value 8
    .profile = {.rec_ref_col = 2, .rec_alt_col = 3, .value_cols = {7}, .rec_min_fields = 8,
                .hit = splice_hit, .miss = splice_miss},
};

const AnnotatorTool protein_tool = {
    .program = "join_protein_db",
    .usage = "\tUsage:\n\t\t%s < > < > < >\n\t\t1>:\tplease input the result file !\n"
             "\t\t2>:\tplease input the protein_predict Database !\n\t\t3>:\tplease input the out file !\n",
    .db_env = "WES_PROTEIN_DB",
    .db_compiled = build::protein_db,
    .db_has_header = true,
    .column = "protein_predict",
    // chromosome 1, position 2, ref 4, alt 5, values 6 to 9
    .profile = {.rec_ref_col = 3, .rec_alt_col = 4, .value_cols = {5, 6, 7, 8}, .n_value_cols = 4,
                .rec_min_fields = 9, .hit = splice_hit, .miss = protein_miss},
};

const AnnotatorTool score_tool = {
    .program = "join_score_db",
    .n_args = 4,
    .usage = "\tUsage:\n\t\t%s < > < > < >\n\t\t1>:\tplease input the result file !\n"
             "\t\t2>:\tplease input the protein_predict Database file !\n"
             "\t\t3>:\tplease input the protein_predict Database name !\n\t\t4>:\tplease input the out file !\n",
    .db_env = "WES_SCORE_DB",
    .db_compiled = build::score_db,
    .db_from_long_second_arg = true,
    .db_has_header = true,
    .header = ResultHeader::score_columns,
    // chromosome 1, position 2, ref 4, alt 5, score 6
    .profile = {.rec_ref_col = 3, .rec_alt_col = 4, .value_cols = {5}, .rec_min_fields = 6,
                .hit = score_line, .miss = score_miss},
};

const AnnotatorTool popfreq_tool = {
    .program = "revise_popfreq",
    .usage = "\tUsage:\n\t\t%s < > < > < >\n\t\t1>:\tplease input the result file !\n"
             "\t\t2>:\tplease input the popfreq Database !\n\t\t3>:\tplease input the out file !\n",
    .db_env = "WES_POPFREQ_DB",
    .db_compiled = build::popfreq_db,
    .db_has_header = true,
    .header = ResultHeader::copy,
    // chromosome 1, position 2, ref 3, alt 4, values 11 and 14; indels normalised
    .profile = {.row_fields = 20, .rec_ref_col = 2, .rec_alt_col = 3, .value_cols = {10, 13}, .n_value_cols = 2,
                .rec_min_fields = 14, .normalise_indels = true, .hit = popfreq_hit, .miss = popfreq_miss},
};

}  // namespace wes::annotate

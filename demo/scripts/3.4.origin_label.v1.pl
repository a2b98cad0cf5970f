#!/usr/bin/perl
# Example origin-label script of the demo (run by run_origin_label):
#
#   perl 3.4.origin_label.v1.pl IN OMIM SWISSVAR HGMD CLINVAR OUT
#
# Appends one column, "Origin", to the result table IN: what the four disease databases
# say about the row's gene or mutation, as "DB:text" parts joined by ";", or "." when
# none of them knows it. The rows are written tab-separated (the blanks that earlier steps
# left before their tabs are dropped), in the input order.
#
# Database layouts (tab-separated, one header line starting with "#"):
#   OMIM      Gene MIM Phenotype Inheritance          matched on the Gene column
#   SwissVar  Gene Protein_change Variant_type Disease matched on Gene and Protein
#   HGMD      Chr Start Ref Alt Gene Class Disease     matched on the mutation
#   ClinVar   Chr Start Ref Alt Gene ClinSig Review    matched on the mutation
# It stands in for the pipeline's in-house script and is an example.
use strict;
use warnings;

die "usage: $0 IN OMIM SWISSVAR HGMD CLINVAR OUT\n" unless @ARGV == 6;
my ($in, $omim_db, $swiss_db, $hgmd_db, $clinvar_db, $out) = @ARGV;

# Reads a database into key => text, the key built from the named columns.
sub load {
    my ($path, $key_cols, $text) = @_;
    my %db;
    open my $fh, '<', $path or die "$0: cannot read $path: $!\n";
    while (<$fh>) {
        next if /^#/ || /^\s*$/;
        chomp;
        my @f = split /\t/;
        my $key = join '-', @f[@$key_cols];
        $db{$key} //= $text->(@f);
    }
    close $fh;
    return \%db;
}

my $omim = load($omim_db, [0], sub { "OMIM:$_[1]($_[3])" });
my $swiss = load($swiss_db, [0, 1], sub { "SwissVar:$_[2]" });
my $hgmd = load($hgmd_db, [0, 1, 2, 3], sub { "HGMD:$_[5]" });
my $clinvar = load($clinvar_db, [0, 1, 2, 3], sub { "ClinVar:$_[5]" });

open my $fin, '<', $in or die "$0: cannot read $in: $!\n";
open my $fout, '>', $out or die "$0: cannot write $out: $!\n";
my $header = <$fin>;
die "$0: $in is empty\n" unless defined $header;
chomp $header;
my @names = map { s/^\s+|\s+$//gr } split /\t/, $header;
my %col = map { $names[$_] => $_ } 0 .. $#names;
for (qw(Chr Start Ref Alt Gene Protein)) { die "$0: $in has no column $_\n" unless exists $col{$_} }
print {$fout} join("\t", @names, 'Origin'), "\n" or die "$0: cannot write $out: $!\n";

my ($rows, $labelled) = (0, 0);
while (my $line = <$fin>) {
    chomp $line;
    next if $line =~ /^\s*$/;
    my @f = map { s/^\s+|\s+$//gr } split /\t/, $line;
    my $mutation = join '-', @f[@col{qw(Chr Start Ref Alt)}];
    my $gene = $f[ $col{Gene} ];
    my @label = grep { defined } $omim->{$gene}, $swiss->{"$gene-$f[$col{Protein}]"},
                                 $hgmd->{$mutation}, $clinvar->{$mutation};
    $labelled++ if @label;
    print {$fout} join("\t", @f, @label ? join(';', @label) : '.'), "\n" or die "$0: cannot write $out: $!\n";
    $rows++;
}
close $fout or die "$0: cannot write $out: $!\n";
print "origin_label: $labelled of $rows rows labelled\n";

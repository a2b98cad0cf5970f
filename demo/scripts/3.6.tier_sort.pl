#!/usr/bin/perl
# Example tier-sort script of the demo (run by run_tier_sort):
#
#   perl 3.6.tier_sort.pl IN OUT
#
# Gives every row of the annotated result table a tier, appends it as the column "Tier"
# and writes the rows ordered by tier (genomic order kept within a tier):
#
#   Tier1  a disease database calls the mutation pathogenic (ClinVar Pathogenic or
#          Likely_pathogenic, HGMD DM), or a rare loss of function (stopgain, stoploss,
#          frameshift, or within two bases of an exon boundary)
#   Tier2  rare, and damaging by prediction: a protein-changing SNV that SIFT or
#          PolyPhen calls D, an in-frame indel, or a splice score of at least 0.8
#   Tier3  rare, and exonic or near a splice site otherwise
#   Tier4  everything else (common, benign, intronic, synonymous)
#
# Rare: no population frequency, or every frequency below 0.01. An indel inside a simple
# repeat of eight or more units, which callers often get wrong, goes one tier down
# (Tier1 calls from the disease databases excepted). Columns are found by their header
# names. It stands in for the pipeline's in-house script and is an example.
use strict;
use warnings;

die "usage: $0 IN OUT\n" unless @ARGV == 2;
my ($in, $out) = @ARGV;

open my $fin, '<', $in or die "$0: cannot read $in: $!\n";
my $header = <$fin>;
die "$0: $in is empty\n" unless defined $header;
chomp $header;
my @names = map { s/^\s+|\s+$//gr } split /\t/, $header;
my %col = map { $names[$_] => $_ } 0 .. $#names;
for (qw(Type Region Function SpliceDist PopFreq splice_predict protein_predict ssr Origin)) {
    die "$0: $in has no column $_\n" unless exists $col{$_};
}

sub tier {
    my (@f) = @_;
    my %v = map { $_ => $f[ $col{$_} ] } keys %col;
    my @freq = grep { /^\d*\.?\d+$/ } split /\|/, $v{PopFreq};
    my $rare = !grep { $_ >= 0.01 } @freq;
    my $known = $v{Origin} =~ /ClinVar:(Likely_)?Pathogenic|HGMD:DM(;|$)/;
    my $lof = $v{Function} =~ /^(stopgain|stoploss|frameshift_)/
           || ($v{Region} eq 'splicing' && $v{SpliceDist} =~ /^[+-]?[12]$/)
           || ($v{Region} eq 'splicing' && $v{Type} =~ /deletion|insertion/);
    my @pred = split /\|/, $v{protein_predict};
    my $damaging = ($v{Function} eq 'nonsynonymous_SNV' && (($pred[1] // '') eq 'D' || ($pred[3] // '') eq 'D'))
                || $v{Function} =~ /^nonframeshift_(deletion|insertion)/
                || ($v{splice_predict} =~ /^\d*\.?\d+$/ && $v{splice_predict} >= 0.8);
    my $tier = $known ? 1
             : $rare && $lof ? 1
             : $rare && $damaging ? 2
             : $rare && $v{Region} =~ /^(exonic|splicing)$/ && $v{Function} !~ /^synonymous/ ? 3
             : 4;
    my ($units) = $v{ssr} =~ /^Y=(\d+)/;
    $tier++ if !$known && $tier < 4 && $v{Type} =~ /deletion|insertion/ && defined $units && $units >= 8;
    return $tier;
}

my @rows;
while (my $line = <$fin>) {
    chomp $line;
    next if $line =~ /^\s*$/;
    my @f = map { s/^\s+|\s+$//gr } split /\t/, $line;
    push @rows, [ tier(@f), scalar @rows, join("\t", @f) ];
}
close $fin;

open my $fout, '>', $out or die "$0: cannot write $out: $!\n";
print {$fout} join("\t", @names, 'Tier'), "\n" or die "$0: cannot write $out: $!\n";
my %count;
for my $r (sort { $a->[0] <=> $b->[0] || $a->[1] <=> $b->[1] } @rows) {
    print {$fout} "$r->[2]\tTier$r->[0]\n" or die "$0: cannot write $out: $!\n";
    $count{ $r->[0] }++;
}
close $fout or die "$0: cannot write $out: $!\n";
print 'tier_sort: ', join(', ', map { "Tier$_ " . ($count{$_} // 0) } 1 .. 4), "\n";

#!/usr/bin/perl
# Example general annotation script of the demo (run by run_tessaro):
#
#   perl Tessaro_v1.2.pl -f table -i IN -o OUT
#
# IN is the sorted mutation table (a header line, then Chr Start End Ref Alt ID MQ Depth,
# chromosomes named by accession). OUT is the pipeline's twenty-column result table, in
# the same row order:
#
#    1 Chr   2 Start  3 End   4 Ref  5 Alt   6 dbSNP  7 MQ  8 Depth  9 Zygosity  10 Type
#   11 Gene 12 Transcript 13 Region 14 Function 15 Exon 16 cDNA 17 Protein 18 Codon
#   19 PopFreq ("." until revise_popfreq fills it)  20 SpliceDist
#
# Genes come from a small gene model (forward-strand transcripts with their exon
# sequence): gene_model.txt in the data folder beside this script, or the file named by
# TESSARO_GENE_MODEL. It stands in for the pipeline's in-house annotation script and
# is an example, not a general annotator: one transcript per gene, forward strand only.
use strict;
use warnings;
use FindBin;
use Getopt::Long;

my ($format, $in, $out) = ('', '', '');
GetOptions('f=s' => \$format, 'i=s' => \$in, 'o=s' => \$out)
    or die "usage: $0 -f table -i IN -o OUT\n";
die "usage: $0 -f table -i IN -o OUT\n" unless $in ne '' && $out ne '';
die "$0: unknown input format '$format' (only 'table')\n" unless $format eq 'table';

my $model = $ENV{TESSARO_GENE_MODEL} || "$FindBin::Bin/../data/gene_model.txt";

my %codon;
{
    my @aa = split //, 'FFLLSSSSYYXXCCXWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG';
    my @b = qw(T C A G);
    my $i = 0;
    for my $x (@b) { for my $y (@b) { for my $z (@b) { $codon{"$x$y$z"} = $aa[$i++] } } }
}

# genes: chromosome => list of { name, transcript, start, end, exons => [[start, end, offset]], cds }
my %genes;
open my $gm, '<', $model or die "$0: cannot read gene model $model: $!\n";
while (<$gm>) {
    next if /^#/;
    chomp;
    my ($chr, $gene, $tx, $strand, $part, $s, $e, $off, $seq) = split /\t/;
    if ($part eq 'region') {
        push @{ $genes{$chr} }, { name => $gene, tx => $tx, start => $s, end => $e, exons => [], cds => '' };
    } else {
        my $g = $genes{$chr}[-1];
        push @{ $g->{exons} }, [ $s, $e, $off ];
        $g->{cds} .= $seq;
    }
}
close $gm;

sub translate {
    my ($seq) = @_;
    my $p = '';
    for (my $i = 0; $i + 3 <= length $seq; $i += 3) { $p .= $codon{ substr($seq, $i, 3) } // 'X' }
    return $p;
}

# Index of a genomic position in the coding sequence and the exon number, or undef.
sub cds_index {
    my ($g, $pos) = @_;
    my $n = 0;
    for my $x (@{ $g->{exons} }) {
        $n++;
        return ($x->[2] + $pos - $x->[0], $n) if $pos >= $x->[0] && $pos <= $x->[1];
    }
    return;
}

# Signed distance of an intronic position to the nearest exon boundary: + after an exon
# (donor side), - before one (acceptor side).
sub splice_distance {
    my ($g, $pos) = @_;
    my $best;
    for my $x (@{ $g->{exons} }) {
        return undef if $pos >= $x->[0] && $pos <= $x->[1];
        my $d = $pos > $x->[1] ? $pos - $x->[1] : $pos - $x->[0];
        $best = $d if !defined $best || abs($d) < abs($best);
    }
    return $best;
}

sub annotate {
    my ($chr, $start, $end, $ref, $alt) = @_;
    my $type = $ref eq '-' ? 'insertion' : $alt eq '-' ? 'deletion'
             : length($ref) == 1 && length($alt) == 1 ? 'SNV' : 'substitution';
    my %a = (Type => $type, Gene => '.', Transcript => '.', Region => 'intergenic', Function => '.',
             Exon => '.', cDNA => '.', Protein => '.', Codon => '.', SpliceDist => '.');
    my ($g) = grep { $start >= $_->{start} && $start <= $_->{end} } @{ $genes{$chr} || [] };
    return \%a unless $g;
    @a{qw(Gene Transcript)} = ($g->{name}, $g->{tx});

    # the reference bases the change touches (for an insertion, the two it sits between)
    my ($i, $exon) = cds_index($g, $start);
    my ($j) = cds_index($g, $end);
    if (!defined $i || !defined $j) {
        my $d = defined $i ? splice_distance($g, $end) : splice_distance($g, $start);
        my $first = $g->{exons}[0][0];
        my $last = $g->{exons}[-1][1];
        $a{SpliceDist} = sprintf '%+d', $d;
        $a{Region} = (defined $i || defined $j || abs($d) <= 2) ? 'splicing'
                   : $start < $first ? 'upstream' : $start > $last ? 'downstream' : 'intronic';
        return \%a;
    }
    $a{Region} = 'exonic';
    $a{Exon} = "exon$exon";
    my $cds = $g->{cds};
    my $c0 = $i - $i % 3;
    my $aa = substr(translate(substr($cds, $c0, 3)), 0, 1);
    my $n = $c0 / 3 + 1;
    if ($type eq 'insertion') {
        my $new = substr($cds, 0, $i + 1) . $alt . substr($cds, $i + 1);
        $a{Function} = length($alt) % 3 ? 'frameshift_insertion' : 'nonframeshift_insertion';
        $a{cDNA} = sprintf 'c.%d_%dins%s', $i + 1, $i + 2, $alt;
        $a{Protein} = length($alt) % 3 ? "p.$aa${n}fs" : sprintf('p.%d_%dins%s', $n, $n + 1,
                                                                 translate(substr($new, $c0 + 3, length $alt)));
        return \%a;
    }
    if ($type eq 'deletion') {
        $a{Function} = length($ref) % 3 ? 'frameshift_deletion' : 'nonframeshift_deletion';
        $a{cDNA} = $i == $j ? sprintf('c.%ddel%s', $i + 1, $ref) : sprintf('c.%d_%ddel%s', $i + 1, $j + 1, $ref);
        $a{Protein} = length($ref) % 3 ? "p.$aa${n}fs" : "p.$aa${n}del";
        return \%a;
    }
    # substitutions of one or more bases: translate the codons they touch
    my $c1 = $j - $j % 3 + 3;
    my $old_codons = substr($cds, $c0, $c1 - $c0);
    my $new_codons = $old_codons;
    substr($new_codons, $i - $c0, length $alt) = $alt;
    my ($p_old, $p_new) = (translate($old_codons), translate($new_codons));
    $a{Function} = $p_new =~ /X/ && $p_old !~ /X/ ? 'stopgain'
                 : $p_old =~ /X/ && $p_new !~ /X/ ? 'stoploss'
                 : $p_old eq $p_new ? ($type eq 'SNV' ? 'synonymous_SNV' : 'synonymous_substitution')
                 : $type eq 'SNV' ? 'nonsynonymous_SNV' : 'nonframeshift_substitution';
    $a{cDNA} = $type eq 'SNV' ? sprintf('c.%d%s>%s', $i + 1, $ref, $alt)
                              : sprintf('c.%d_%ddelins%s', $i + 1, $j + 1, $alt);
    $a{Protein} = "p.$p_old$n$p_new";
    $a{Codon} = "$old_codons>$new_codons";
    return \%a;
}

open my $fin, '<', $in or die "$0: cannot read $in: $!\n";
open my $fout, '>', $out or die "$0: cannot write $out: $!\n";
my @cols = qw(Chr Start End Ref Alt dbSNP MQ Depth Zygosity Type Gene Transcript Region Function
              Exon cDNA Protein Codon PopFreq SpliceDist);
print {$fout} join("\t", @cols), "\n" or die "$0: cannot write $out: $!\n";
my $header = <$fin>;
die "$0: $in is empty\n" unless defined $header;
my $rows = 0;
while (my $line = <$fin>) {
    chomp $line;
    next if $line =~ /^\s*$/;
    my ($chr, $start, $end, $ref, $alt, $id, $mq, $depth) = split /\s+/, $line;
    die "$0: $in line $.: fewer than eight columns\n" unless defined $depth;
    my ($frac) = $depth =~ /=([0-9.]+)$/;
    my $zyg = !defined $frac ? '.' : $frac >= 0.8 ? 'hom' : 'het';
    my $a = annotate($chr, $start, $end, $ref, $alt);
    print {$fout} join("\t", $chr, $start, $end, $ref, $alt, $id, $mq, $depth, $zyg,
                       @{$a}{qw(Type Gene Transcript Region Function Exon cDNA Protein Codon)}, '.',
                       $a->{SpliceDist}), "\n" or die "$0: cannot write $out: $!\n";
    $rows++;
}
close $fout or die "$0: cannot write $out: $!\n";
print "Tessaro: $rows rows annotated\n";

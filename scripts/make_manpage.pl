#!/usr/bin/perl
# Writes the manual page keymix.1 from the README, so that the two cannot drift:
# the options come from the README's option table (the one headed "Option |
# Effect"), the messages from every table headed "Message | Meaning" with the
# paragraph before it, under the heading of the README section it stands in.
#
#   scripts/make_manpage.pl README.md VERSION SUMMARY keymix.1
#
# Fails, naming what it missed, when the README has no option table or no
# message table. Works on bytes: the Japanese texts pass through as UTF-8.
use strict;
use warnings;

my ($readme, $version, $summary, $output) = @ARGV;
die "usage: $0 README.md VERSION SUMMARY OUTPUT\n" unless defined $output;
open(my $in, '<', $readme) or die "$0: cannot read $readme: $!\n";
my @lines = map { s/\r?\n\z//r } <$in>;
close $in;

# Markdown inline text as roff: code and bold in bold, links as their text,
# backslashes and hyphens escaped, nothing that roff reads as a request.
sub inline {
    my ($text) = @_;
    $text =~ s/\\/\\e/g;
    $text =~ s/-/\\-/g;
    $text =~ s/\[([^\]]*)\]\([^)]*\)/$1/g;
    $text =~ s/\*\*([^*]+)\*\*/\\fB$1\\fR/g;
    $text =~ s/`([^`]*)`/\\fB$1\\fR/g;
    return $text;
}

# Text lines for roff: joined, then no line may start with a dot or a quote.
sub paragraph {
    my $text = join(' ', map { s/^\s+|\s+$//gr } @_);
    $text = inline($text);
    $text =~ s/^([.'])/\\&$1/;
    return "$text\n";
}

# The cells of a table row, split at the bars outside code spans.
sub cells {
    my ($row) = @_;
    $row =~ s/^\s*\|//;
    $row =~ s/\|\s*$//;
    my (@cells, $cell, $code);
    $cell = '';
    for my $char (split //, $row) {
        $code = !$code if $char eq '`';
        if ($char eq '|' && !$code) {
            push @cells, $cell;
            $cell = '';
        } else {
            $cell .= $char;
        }
    }
    push @cells, $cell;
    return map { s/^\s+|\s+$//gr } @cells;
}

my (@options, @diagnostics, $heading, @before);
for (my $i = 0; $i < @lines; ++$i) {
    my $line = $lines[$i];
    if ($line =~ /^#+\s+(.*)/) {
        $heading = $1;
        @before = ();
        next;
    }
    if ($line =~ /^\|/ && $i + 1 < @lines && $lines[$i + 1] =~ /^\|[-|: ]+\|\s*$/) {
        my @head = cells($line);
        my @rows;
        for ($i += 2; $i < @lines && $lines[$i] =~ /^\|/; ++$i) { push @rows, [cells($lines[$i])]; }
        --$i;
        if ("@head" eq 'Option Effect') {
            push @options, @rows;
        } elsif ("@head" eq 'Message Meaning') {
            # The paragraph before the table introduces it, unless it is a list item.
            my @intro = (@before && $before[0] !~ /^\s*([-*]|\d+\.)\s/) ? @before : ();
            push @diagnostics, { heading => $heading, intro => [@intro], rows => [@rows] };
        }
        @before = ();
        next;
    }
    next if $line =~ /^\s*$/;
    # A new block; code blocks introduce nothing.
    @before = () if $i > 0 && $lines[$i - 1] =~ /^\s*$/;
    push @before, $line unless $line =~ /^ {4}/;
}
die "$0: no table headed \"Option | Effect\" in $readme\n" unless @options;
die "$0: no table headed \"Message | Meaning\" in $readme\n" unless @diagnostics;

# The first paragraph after the title says what the program does.
my @description;
for my $line (@lines[1 .. $#lines]) {
    last if @description && $line =~ /^\s*$/;
    push @description, $line if $line !~ /^\s*$/;
}

# "-v N" splits into the option and its value.
my @synopsis;
for my $row (@options) {
    my ($option, $value) = $row->[0] =~ /^`(-\w)(?:\s+([^`]*))?`$/
        or die "$0: option \"$row->[0]\" is not written as `-x VALUE`\n";
    $row->[0] = "\\fB" . inline($option) . "\\fR" . (defined $value ? " \\fI" . inline($value) . "\\fR" : '');
    push @synopsis, "[$row->[0]]";
}

open(my $out, '>', "$output.tmp") or die "$0: cannot write $output.tmp: $!\n";
select $out;
print ".\\\" Written from README.md by scripts/make_manpage.pl: edit the README, not this page.\n";
print ".TH KEYMIX 1 \"\" \"keymix $version\" \"User Commands\"\n";
print ".SH NAME\nkeymix \\- " . inline($summary) . "\n";
print ".SH SYNOPSIS\n.B keymix\n" . join("\n", @synopsis) . "\n\\fIinput\\fR\n";
print ".SH DESCRIPTION\n" . paragraph(@description);
print ".SH OPTIONS\n";
for my $row (@options) { print ".TP\n$row->[0]\n" . paragraph($row->[1]); }
print ".SH DIAGNOSTICS\n";
my $section = '';
for my $table (@diagnostics) {
    print ".SS " . inline($table->{heading}) . "\n" if $table->{heading} ne $section;
    $section = $table->{heading};
    print ".PP\n" . paragraph(@{ $table->{intro} }) if @{ $table->{intro} };
    for my $row (@{ $table->{rows} }) { print ".TP\n" . paragraph($row->[0]) . paragraph($row->[1]); }
}
print ".SH SEE ALSO\nThe README of keymix (/usr/share/doc/keymix/README.md.gz), which these options\n"
    . "and messages are written from, tells more: the output formats, previews, the rules of\n"
    . "\\fB\\-p\\fR, libraries and bmson charts.\n";
close $out or die "$0: cannot write $output.tmp: $!\n";
rename("$output.tmp", $output) or die "$0: cannot write $output: $!\n";

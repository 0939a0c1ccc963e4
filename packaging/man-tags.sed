# The line after each .TP written by help2man is the tag of a switch or an output type: drop
# help2man's italics (it takes words beginning with '/' for paths) and set the tag in bold. Tags
# from the include file begin with a macro and stay as they are.
/^\.TP$/{
n
/^\./!{
s/\\fI\\,//g
s/\\\/\\f[PR]//g
s/.*/\\fB&\\fR/
}
}

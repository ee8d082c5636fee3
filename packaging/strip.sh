#!/bin/sh
# The install rules' strip for the package: also drops the compiler's .comment, as
# Debian's own packaging tools do.
exec strip --remove-section=.comment "$@"

#!/bin/sh
# Demo runtime installer: installs nothing and reports success.
echo "demo runtime installer: nothing to install"
exit 0

#!/bin/sh
# Demo setup step, started without waiting.
echo "demo setup step ran"
exit 0

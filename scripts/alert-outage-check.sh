#!/usr/bin/env bash
# The long run of the webhook outage: the alert test's receiver stays down for
# 30 seconds (or $1 seconds) while alerts fire and resolve, then must get every
# post in order. The suite runs the same test with a short outage.
# Usage: scripts/alert-outage-check.sh [SECONDS]   (after a build into build/)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
VOLTRANE_ALERT_RECEIVER_DOWN_MS=$((seconds * 1000)) \
  build/tests/alert_engine_test --gtest_filter='*AReceiverThatWasDownGetsEveryPostAfterwardsInOrder*'

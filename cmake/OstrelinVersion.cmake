# The tree's one version: every binary's version resource, the tools'
# --version and the task SDK's package version come from here.
set(OSTRELIN_VERSION 1.0.0)
set(OSTRELIN_PRODUCT_NAME "Ostrelin")

// A unit whose sources are still to come compiles this.

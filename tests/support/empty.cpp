// Keeps the support library buildable before it has helpers of its own.

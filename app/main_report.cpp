// tarvel-report: prints the report of each motion named.
int main() { return 0; }

"""The lab: runs matches of the agents on the simulated server, fields a team
on a real one, and plays tournaments between builds."""
